// Copying a file into a folder, replacing a file of the same name only when asked to. The
// copy is made under a temporary name in the destination folder and then given its name, so
// the destination never holds a partly written file.
#pragma once

#include "PlatformFiles.h"
#include "PlatformStrings.h"
#include "PlatformTypes.h"

enum : OptionBits {
    kFSFileOperationDefaultOptions = 0,
    kFSFileOperationOverwrite = 1,
};

// Copies the file `source` into the folder `destDir` under `destName` (null: the source's
// own name), keeping its permission bits, and stores a reference to the copy in `target`
// (when not null). A file already there is replaced only with kFSFileOperationOverwrite;
// copying a file onto itself changes nothing. Returns 0 on success; dupFNErr when the name
// is taken and may not be replaced (or is taken by something that is not a file); paramErr
// for a null argument or a source that is not a file; bdNamErr for a name that is empty, "."
// or "..", or holds '/'; the file layer's status for references it cannot resolve; and
// fnfErr, permErr, wPrErr, dskFulErr or ioErr for what the file system reports.
OSStatus FSCopyObjectSync(const FSRef* source, const FSRef* destDir, CFStringRef destName,
                          FSRef* target, OptionBits options);
