// Texts the plug-in shows or hands to the host, byte for byte. The Russian
// ones are Windows-1251 bytes, written as escapes so that the encoding of this
// file cannot change them.
#pragma once

// Descriptions and open-file dialog filters (GetInfo, ReturnLabel).
constexpr char TEXT_INFO_ENGLISH[] = ".mdl file import (Quake models)\nAutor : Tamrivell\nKESTRAVON";
constexpr char TEXT_INFO_RUSSIAN[] =
    "\xC8\xEC\xEF\xEE\xF0\xF2 \xEC\xEE\xE4\xE5\xEB\xE5\xE9 \xE2 \xF4\xEE\xF0\xEC\xE0\xF2\xE5"
    " .mdl (Quake models)\n\xC0\xE2\xF2\xEE\xF0 : Tamrivell\nKESTRAVON";
constexpr char TEXT_LABEL_ENGLISH[] = "Quake Model files (*.mdl)|*.mdl|";
constexpr char TEXT_LABEL_RUSSIAN[] = "\xD4\xE0\xE9\xEB\xFB \xEC\xEE\xE4\xE5\xEB\xE5\xE9 Quake (*.mdl)|*.mdl|";

// The reader's messages, shown with CAPTION_READER and the information icon.
constexpr char CAPTION_READER[] = "MDL load plugin";
constexpr char TEXT_NOT_MDL[] = "Sorry, but this file iz not .MDL";
constexpr char TEXT_GROUPS[] = "Sorry, but groups not supported in this plugin version";

// The import run's messages.
constexpr char CAPTION_RUN[] = "Plugin";
constexpr char TEXT_LOAD_FAILED[] = "Error loading *.mdl file";
constexpr char TEXT_DELIVERY_FAILED[] = "error executing dll function";
