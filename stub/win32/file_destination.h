// The destination folder on Windows: never through a link that could lead outside it. Each
// folder below the root is opened once, checked on its handle and held open; names inside it
// are created and renamed relative to that handle, so swapping a checked folder for a link
// cannot redirect a write.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>

#include "stub/core/destination.h"

namespace kzsfx::win32 {

// `folder` made absolute (against the current folder) in the "\\?\" form, which lifts the
// 260-character limit and stops Windows from rewriting names. Empty when it cannot be made.
std::wstring AbsoluteLongPath(const std::wstring& folder);

// The platform's message for an error code, without the trailing line break.
std::string SystemMessage(unsigned long error);

// A folder at the destination, open and checked: not a link, and where its parent says.
struct OpenFolder;

// The moments between a check and the use it guards, for tests that change the disk there.
enum class DestinationStep {
  kFolderChecked,  // the file's folder is checked; the file is created next
  kFileWritten,    // the data is in the file; it becomes visible under its name next
};
using DestinationHook = std::function<void(DestinationStep)>;

// Safe to use from several threads at once.
class FileDestination final : public Destination {
 public:
  // `root` as AbsoluteLongPath gives it.
  explicit FileDestination(std::wstring root);
  ~FileDestination() override;

  // Creates the destination folder itself and its missing parents, and opens it: every other
  // operation needs it. The root is the user's choice and may be reached through links.
  Status CreateRoot();

  Status CreateFolder(const std::string& path) override;
  Existing Exists(const std::string& path) override;
  std::unique_ptr<OutputFile> OpenFile(const std::string& path, Status& status) override;
  std::optional<std::uint64_t> FreeSpace() override;
  // False where the root's volume is a FAT or exFAT one, without alternate streams. Needs
  // CreateRoot().
  bool KeepsZoneMarks() override;

  const std::wstring& Root() const { return root_; }

  // Lets go of the folders held open, so that the user can rename or delete them once the
  // extraction is over. Files and folders can no longer be made afterwards.
  void ReleaseFolders();

  void SetHook(DestinationHook hook) { hook_ = std::move(hook); }

  // Files will carry the download mark: every file is written under a temporary name, which
  // takes its mark before it shows under its own name. Otherwise a new name is written to
  // directly, pending deletion until its commit.
  void SetZoneMarks(bool marks) { zoneMarks_ = marks; }

 private:
  // The folder `path` names below the root: one of the recent, or opened (and created when
  // missing) one component at a time from the nearest one known.
  std::shared_ptr<const OpenFolder> Folder(const std::string& path, Status& status);

  std::wstring root_;
  DestinationHook hook_;
  bool zoneMarks_ = false;
  SRWLOCK lock_ = SRWLOCK_INIT;  // guards the two below
  std::shared_ptr<const OpenFolder> rootFolder_;
  // The folders used last, most recent first: entries come grouped by folder, so a few
  // spare every file the walk from the root. Held open, they cannot be renamed or deleted.
  std::vector<std::pair<std::string, std::shared_ptr<const OpenFolder>>> recent_;
};

}  // namespace kzsfx::win32
