// Parsed INI files kept in memory, keyed by native path and file identity
// (device, inode, size, mtime, ctime). A cached parse is used without reading
// the file only when it has settled: it was read at least one timestamp tick
// after the file's last change, so any later change shows in the identity.
// A parse that has not settled is checked against the file's bytes on use.
// Thread-safe (one mutex, held only for map operations; safe across fork).
#pragma once

#include <sys/stat.h>

#include <memory>
#include <string>

#include "platform/file_replace.h"
#include "platform/ini_document.h"

namespace tallowmere::platform {

// The parse of the file at `native` (a native path). nullptr when the file is
// missing or cannot be read; LastError() is then set (ENOENT, EISDIR, ...).
// `known`, when given and a regular file, is a fresh stat of the path and
// saves one system call.
std::shared_ptr<const ini::IniDocument> LoadIniDocument(const std::string& native,
                                                        const struct stat* known = nullptr);

// Records the text a writer has just put at `native`, whose new file has
// identity `identity`, so that the next read or write need not read it again.
// It is parsed only when it is used (often the next writer is another
// process, and the parse would be wasted).
void RememberIniText(const std::string& native, const FileIdentity& identity, std::string text);

void ClearIniCache();

}  // namespace tallowmere::platform
