// How a run behaves: testing or writing, overwrite policy, password, name charset, download mark.
#pragma once

#include <optional>
#include <string>

#include "stub/core/observer.h"

namespace kzsfx {

enum class OverwritePolicy { ask, overwrite_all, skip_all };

struct Options {
    // Decode and check every entry (CRC) without writing anything (-t).
    bool test_only = false;
    OverwritePolicy overwrite = OverwritePolicy::ask;
    // Tried before asking the observer (-p). Empty: ask the observer when needed.
    PasswordForms password;
    // Charset of zip names that carry neither the UTF-8 flag nor a Unicode path field, as
    // libarchive's "hdrcharset" option: "CP936" (the ANSI code page) on Windows, "GBK" in
    // native tests. Empty leaves the library's default.
    std::string name_charset;
    // The exe's own Zone.Identifier content, copied onto every extracted file (see zone_mark.h).
    std::optional<std::string> zone_mark;
    // Compare the declared total with the destination's free space before writing.
    bool check_free_space = true;
};

} // namespace kzsfx
