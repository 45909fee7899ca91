// Trailing-backslash helpers for path texts held in 260-character buffers (259 used).
// Pure text functions: they work in place and never write past a full path buffer.
#pragma once

// Appends a backslash unless the text already ends in one. A null pointer, an empty text and
// a text that already fills a path buffer (259 characters) are left unchanged. Returns text.
char* AddBackslash(char* text);

// Removes one trailing backslash, if there is one. Returns text (null stays null).
char* RemoveBackslash(char* text);
