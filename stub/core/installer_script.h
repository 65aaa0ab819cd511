// The installer script a zip comment may carry: recognised by its first line ";kzsfx", read
// one command a line into what the self-extractor does besides extracting.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "stub/core/options.h"
#include "stub/core/results.h"
#include "stub/core/safe_path.h"

namespace kzsfx {

// The folders a Path may start with, each written %Name% at its start.
enum class KnownFolder {
  kNone,
  kProgramFiles,
  kLocalAppData,
  kAppData,
  kTemp,
  kUserProfile,
  kPublic
};

// Silent=1 shows only the progress; Silent=2 shows nothing unless an error occurs.
enum class Silence { kNone, kProgressOnly, kNothing };

// How Setup is started, by its extension: .exe directly, .bat and .cmd through the command
// interpreter, anything else with the program associated with it.
enum class SetupKind { kProgram, kBatch, kDocument };

struct ScriptPath {
  KnownFolder base = KnownFolder::kNone;
  // After the known folder: empty or starting with a separator. Without one: the whole
  // path as written, absolute or relative to the exe's folder.
  std::string rest;
};

struct SetupCommand {
  std::string program;    // inside the extracted tree, components joined with '/'
  std::string arguments;  // passed on as written
  SetupKind kind = SetupKind::kProgram;
};

struct InstallerScript {
  std::string title;
  std::vector<std::string> texts;  // one shown line each, in order
  std::optional<ScriptPath> path;
  std::optional<SetupCommand> setup;
  bool tempMode = false;
  Silence silence = Silence::kNone;
  std::optional<OverwritePolicy> overwrite;
};

enum class ScriptFault {
  kUnknownCommand,
  kMissingValue,      // Title=, Path= or Setup= with nothing after it
  kBadValue,          // Silent, Overwrite or TempMode with a value they do not take
  kRepeated,          // a command other than Text given twice
  kUnknownFolder,     // Path=%Name%... with a name not in the list, or no separator after it
  kPathRefused,       // Path goes up, names a stream or device, or hides characters (`refusal`)
  kSetupOutsideTree,  // Setup names a path that leaves the extracted tree (see `refusal`)
  kTempModeWithPath,  // TempMode decides the destination itself
  kTempModeWithoutSetup,
};

struct ScriptError {
  ScriptFault fault = ScriptFault::kUnknownCommand;
  std::size_t lineNumber = 0;                // 1-based; the ";kzsfx" line is line 1
  std::string line;                          // the line as written, without its line break
  PathRefusal refusal = PathRefusal::kNone;  // why Setup's or Path's path was refused
};

struct ScriptReading {
  std::optional<InstallerScript> script;
  std::optional<ScriptError> error;
  bool Present() const { return script || error; }
};

// True when the comment's first line is ";kzsfx" (after an optional UTF-8 byte order mark,
// before optional trailing blanks): any other comment is ordinary text.
bool IsInstallerScript(std::string_view comment);

// Reads a comment already decoded to UTF-8. Neither script nor error when it is no script.
ScriptReading ReadInstallerScript(std::string_view comment);

// Whether Setup may run after `result`: no fatal fault, no cancel, nothing refused or failed,
// no link left out and no entry the reading never reached. Existing files kept by choice
// count as there, as do files whose time or download mark could not be set.
bool EveryEntryExtracted(const ExtractResult& result);

// Short English description of a fault, for logs and tests.
const char* Describe(ScriptFault fault);

}  // namespace kzsfx
