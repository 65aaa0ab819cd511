// The converter's globals and their release at orderly shutdown.
#include "app/globals.h"

namespace quillet {

Text TempFolder;
Text DroppedPath;
std::int32_t SlashPos = 0;
Text FileName;
std::int32_t DotPos = 0;
Text Extension;
Text FolderPart;
Text BaseName;
ByteBuffer BatchBytes;

void ReleaseGlobals() {
  TempFolder.Reset();
  DroppedPath.Reset();
  FileName.Reset();
  Extension.Reset();
  FolderPart.Reset();
  BaseName.Reset();
  BatchBytes.Reset();
}

}  // namespace quillet
