// Splits a dropped text into folder, file name, extension and base name, and decides
// whether it is an archive the converter accepts (extension exactly "kz" or "zip").
#pragma once

#include "base/text.h"

namespace quillet {

bool AnalyseDroppedPath(TextView dropped);

}  // namespace quillet
