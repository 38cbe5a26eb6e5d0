// Temporary file names for the working copies of messages.
//
// VEXGetTempFileName(dir, prefix) creates a new, empty file of its own (mode
// 0600, mkstemp) named PREFIX followed by six random characters, in DIR or,
// when DIR is null or "", in $TMPDIR or else /tmp, and returns its path as an
// allocated text. Because the file exists when the name is returned, no other
// caller can be handed the same name. Null on failure: the folder is missing or
// not writable, or PREFIX contains a "/" (EINVAL). A null PREFIX counts as "".
//
// FreeString releases a name and nothing else. MimeFreeFile removes the file
// (a file already gone is fine; any other failure is logged at level 2 under
// "Utility" and the name is still released) and releases the name. Both accept null.
#pragma once

char* VEXGetTempFileName(const char* dir, const char* prefix);
void FreeString(char* name);
void MimeFreeFile(char* name);
