// Whole-buffer positioned reads and writes for the table files.
#pragma once

#include "platform/file_ops.h"

namespace fw::xbase {

using platform::PReadAll;
using platform::PWriteAll;

}  // namespace fw::xbase
