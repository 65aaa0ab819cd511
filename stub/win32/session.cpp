// Opening our own exe, and the choices both run modes make the same way.
#include "stub/win32/session.h"

#include <windows.h>

#include "stub/core/pe_image.h"
#include "stub/core/safe_path.h"
#include "stub/core/zone_mark.h"
#include "stub/win32/messages.h"
#include "stub/win32/text.h"

namespace kzsfx::win32 {
namespace {

// Our own name is whatever the file was given: "...exe" has the stem "..", which as a folder
// would be the one above. It must pass as one safe component, like any name in the archive.
std::wstring FolderNameFor(const std::wstring& stem) {
  const std::string name = Narrow(stem);
  const SafePath path = CheckEntryPath(name);
  if (path.Ok() && path.components.size() == 1 && path.components.front() == name) return stem;
  return kUnnamedFolder;
}

}  // namespace

std::unique_ptr<Session> OpenSession(std::wstring& error) {
  auto session = std::make_unique<Session>();
  session->exePath = OwnExePath();
  if (session->exePath.empty()) {
    error = kExeNotLocated;
    return nullptr;
  }
  const size_t slash = session->exePath.find_last_of(L"\\/");
  session->exeFolder = slash == std::wstring::npos ? L"." : session->exePath.substr(0, slash);
  if (session->exeFolder.size() == 2 && session->exeFolder[1] == L':') session->exeFolder += L'\\';
  session->exeName = session->exePath.substr(slash == std::wstring::npos ? 0 : slash + 1);
  const size_t dot = session->exeName.rfind(L'.');
  session->exeStem =
      dot == std::wstring::npos || dot == 0 ? session->exeName : session->exeName.substr(0, dot);
  session->folderName = FolderNameFor(session->exeStem);
  session->title = ShownEscaped(Narrow(session->exeStem));

  session->source = std::make_unique<FileSource>(session->exePath);
  if (!session->source->Ok()) {
    error = kExeUnreadable + session->exePath;
    return nullptr;
  }
  const ImageEnd end = FindImageEnd(*session->source);
  if (!end.ok) {
    error = DescribeDamagedExe(end.error);
    return nullptr;
  }
  session->archiveOffset = end.offset;
  return session;
}

Options BaseOptions(const Session& session) {
  Options options;
  // Names without the UTF-8 flag were written in the code page of the machine that made the
  // zip: on the Chinese systems this is made for, the same as ours.
  options.nameCharset = "CP" + Narrow(FormatCount(::GetACP()));
  options.decodeLegacyName = [](std::string_view raw) -> std::optional<std::string> {
    const std::optional<std::wstring> text = WidenAnsi(raw);
    if (!text) return std::nullopt;
    return Narrow(*text);
  };
  // Raw: the core decides what a damaged or oversized mark becomes.
  options.zoneMark = session.source->ZoneMark(kMaxZoneMarkSize);
  options.workers = session.workers.get();
  return options;
}

PasswordForms password_forms(const std::wstring& password) {
  if (password.empty()) return {};
  PasswordForms forms{Narrow(password)};
  if (std::optional<std::string> ansi = NarrowAnsi(password); ansi && *ansi != forms.front()) {
    forms.push_back(std::move(*ansi));
  }
  return forms;
}

std::wstring DefaultDestination(const Session& session, const Listing& listing) {
  // Extracting a "setup.exe" beside our own "setup.exe" would try to replace the running
  // program: such an archive gets its subfolder like any other.
  const bool clashes = ::CompareStringOrdinal(Widen(listing.topLevel).c_str(), -1,
                                              session.exeName.c_str(), -1, TRUE) == CSTR_EQUAL;
  if (listing.singleTopLevel && !clashes) return session.exeFolder;
  std::wstring folder = session.exeFolder;
  if (folder.back() != L'\\') folder += L'\\';
  return folder + session.folderName;
}

std::wstring DisplayPath(const std::wstring& path) {
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
  if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
  return path;
}

Options RunOptions(const Session& session, const CommandLine& commandLine) {
  Options options = BaseOptions(session);
  if (commandLine.password) options.password = password_forms(*commandLine.password);
  return options;
}

std::optional<ListingFailure> listing_failure(const Listing& listing) {
  if (listing.fatal == Fatal::kNone) return std::nullopt;
  const ExitCode code =
      listing.fatal == Fatal::kOutOfMemory ? ExitCode::kOutOfMemory : ExitCode::kFatal;
  return ListingFailure{DescribeRunFailure(listing.fatal, listing.fatalDetail, 0, std::nullopt),
                        static_cast<int>(code)};
}

}  // namespace kzsfx::win32
