// The export reader, includable beside <windows.h>: winnt.h defines some of the reader's PE constant
// names as macros, so they are set aside while the reader's headers are read.
#pragma once

#pragma push_macro("IMAGE_NUMBEROF_DIRECTORY_ENTRIES")
#pragma push_macro("IMAGE_DIRECTORY_ENTRY_EXPORT")
#pragma push_macro("IMAGE_DOS_SIGNATURE")
#pragma push_macro("IMAGE_NT_SIGNATURE")
#pragma push_macro("IMAGE_NT_OPTIONAL_HDR64_MAGIC")
#undef IMAGE_NUMBEROF_DIRECTORY_ENTRIES
#undef IMAGE_DIRECTORY_ENTRY_EXPORT
#undef IMAGE_DOS_SIGNATURE
#undef IMAGE_NT_SIGNATURE
#undef IMAGE_NT_OPTIONAL_HDR64_MAGIC

#include "pe/export_list.h"
#include "pe/image_headers.h"

#pragma pop_macro("IMAGE_NT_OPTIONAL_HDR64_MAGIC")
#pragma pop_macro("IMAGE_NT_SIGNATURE")
#pragma pop_macro("IMAGE_DOS_SIGNATURE")
#pragma pop_macro("IMAGE_DIRECTORY_ENTRY_EXPORT")
#pragma pop_macro("IMAGE_NUMBEROF_DIRECTORY_ENTRIES")
