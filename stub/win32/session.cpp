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
std::wstring folder_name_for(const std::wstring& stem) {
  const std::string name = narrow(stem);
  const SafePath path = check_entry_path(name);
  if (path.ok() && path.components.size() == 1 && path.components.front() == name) return stem;
  return kUnnamedFolder;
}

}  // namespace

std::unique_ptr<Session> open_session(std::wstring& error) {
  auto session = std::make_unique<Session>();
  session->exe_path = own_exe_path();
  if (session->exe_path.empty()) {
    error = kExeNotLocated;
    return nullptr;
  }
  const size_t slash = session->exe_path.find_last_of(L"\\/");
  session->exe_folder = slash == std::wstring::npos ? L"." : session->exe_path.substr(0, slash);
  if (session->exe_folder.size() == 2 && session->exe_folder[1] == L':')
    session->exe_folder += L'\\';
  session->exe_name = session->exe_path.substr(slash == std::wstring::npos ? 0 : slash + 1);
  const size_t dot = session->exe_name.rfind(L'.');
  session->exe_stem =
      dot == std::wstring::npos || dot == 0 ? session->exe_name : session->exe_name.substr(0, dot);
  session->folder_name = folder_name_for(session->exe_stem);
  session->title = shown_escaped(narrow(session->exe_stem));

  session->source = std::make_unique<FileSource>(session->exe_path);
  if (!session->source->ok()) {
    error = kExeUnreadable + session->exe_path;
    return nullptr;
  }
  const ImageEnd end = find_image_end(*session->source);
  if (!end.ok) {
    error = describe_damaged_exe(end.error);
    return nullptr;
  }
  session->archive_offset = end.offset;
  return session;
}

Options base_options(const Session& session) {
  Options options;
  // Names without the UTF-8 flag were written in the code page of the machine that made the
  // zip: on the Chinese systems this is made for, the same as ours.
  options.name_charset = "CP" + narrow(format_count(::GetACP()));
  options.decode_legacy_name = [](std::string_view raw) -> std::optional<std::string> {
    const std::optional<std::wstring> text = widen_ansi(raw);
    if (!text) return std::nullopt;
    return narrow(*text);
  };
  // Raw: the core decides what a damaged or oversized mark becomes.
  options.zone_mark = session.source->zone_mark(max_zone_mark_size);
  options.workers = session.workers.get();
  return options;
}

PasswordForms password_forms(const std::wstring& password) {
  if (password.empty()) return {};
  PasswordForms forms{narrow(password)};
  if (std::optional<std::string> ansi = narrow_ansi(password); ansi && *ansi != forms.front()) {
    forms.push_back(std::move(*ansi));
  }
  return forms;
}

std::wstring default_destination(const Session& session, const Listing& listing) {
  // Extracting a "setup.exe" beside our own "setup.exe" would try to replace the running
  // program: such an archive gets its subfolder like any other.
  const bool clashes = ::CompareStringOrdinal(widen(listing.top_level).c_str(), -1,
                                              session.exe_name.c_str(), -1, TRUE) == CSTR_EQUAL;
  if (listing.single_top_level && !clashes) return session.exe_folder;
  std::wstring folder = session.exe_folder;
  if (folder.back() != L'\\') folder += L'\\';
  return folder + session.folder_name;
}

std::wstring display_path(const std::wstring& path) {
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
  if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
  return path;
}

Options run_options(const Session& session, const CommandLine& command_line) {
  Options options = base_options(session);
  if (command_line.password) options.password = password_forms(*command_line.password);
  return options;
}

std::optional<ListingFailure> listing_failure(const Listing& listing) {
  if (listing.fatal == Fatal::none) return std::nullopt;
  const ExitCode code =
      listing.fatal == Fatal::out_of_memory ? ExitCode::out_of_memory : ExitCode::fatal;
  return ListingFailure{describe_run_failure(listing.fatal, listing.fatal_detail, 0, std::nullopt),
                        static_cast<int>(code)};
}

}  // namespace kzsfx::win32
