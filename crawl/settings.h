// The run directory and the remembered save folder ("路径.ini" beside the
// program, section "路径保存", key "路径").
#pragma once

#include <string_view>

#include "text/text.h"

namespace lv::crawl {

// The folder that holds the program file, without a trailing backslash
// (a bare drive such as C: for a program in a drive root).
Text RunDirectory();
// The folder part of a file's full path: everything before its last
// backslash, found character by character so that a two-byte character whose
// second byte is 0x5C is not mistaken for one. Empty when there is none.
Text FolderOf(std::string_view filePath);
// The settings file's path: runDirectory joined with "\路径.ini".
Text SettingsFilePath(std::string_view runDirectory);
// The saved folder; empty when the file, section or key is missing. A value
// longer than 10239 bytes comes back cut to its first 10239 bytes.
Text ReadSaveFolder(std::string_view settingsPath);
// Creates the file, section and key as needed; the result is not looked at.
void WriteSaveFolder(std::string_view settingsPath, std::string_view folder);

}  // namespace lv::crawl
