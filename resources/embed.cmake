# Writes a C++ source that holds a file's bytes: cmake -DINPUT=file -DOUTPUT=source
# -DNAME=function -P embed.cmake. The function returns the bytes as a span.
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" digits)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# Break the one long line every 32 bytes so the generated file stays readable.
string(REGEX REPLACE "((0x..,){32})" "\\1\n    " bytes "${bytes}")
file(WRITE ${OUTPUT}.new
"// Generated from ${INPUT}; do not edit.
#include <cstdint>
#include <span>

namespace quillet {
namespace {
constexpr std::uint8_t kBytes[] = {
    ${bytes}
};
}  // namespace

std::span<const std::uint8_t> ${NAME}() { return kBytes; }

}  // namespace quillet
")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
