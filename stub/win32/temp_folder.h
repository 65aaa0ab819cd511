// TempMode's folder: made new under the temporary folder for this run alone, and removed with
// everything in it when the run ends.
#pragma once

#include <string>

namespace kzsfx::win32 {

class TempFolder {
 public:
  TempFolder() = default;
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder() { Remove(); }

  // Makes a folder that did not exist before under the temporary folder: nobody else can
  // have put anything in it. False when none could be made.
  bool Create();
  const std::wstring& Path() const { return path_; }

  // Deletes the folder and what it holds; links inside are removed, never followed.
  void Remove();

 private:
  std::wstring path_;
};

}  // namespace kzsfx::win32
