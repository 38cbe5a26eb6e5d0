// Folder path encoding of the agent: the names of folder directories.
//
// HexEncode(text): a new string of twice the text's length holding each byte
// as two upper-case hexadecimal digits (bytes taken as unsigned, so 0x80 to
// 0xFF give 80 to FF); an empty text gives an empty string.
// EncodeMbxPath(path): splits the folder path at every `\`, drops empty levels,
// replaces each level by itself followed by its HexEncode, and joins them with
// `\` ("Spam\Old" gives "Spam5370616D\Old4F6C64"; no level gives "").
//
// Contract: both return memory from malloc that the caller releases with free().
// Failure modes: nullptr when the argument is null or memory runs out.
#pragma once

char* HexEncode(const char* text);
char* EncodeMbxPath(const char* folderPath);
