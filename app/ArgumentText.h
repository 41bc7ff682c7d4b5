#pragma once

#include <string>

// The argument text: the command line less the program's own name and the
// blanks and control bytes after it. A line that begins with a double quote
// names the program up to the next double quote (the whole line when there
// is none); otherwise the name runs to the first byte from 1 to 32. Bytes are
// compared as unsigned values, so a byte above 127 is always part of a name.
// A null line gives the empty text.
const char* ArgumentText(const char* commandLine);

// The process's command line in the ANSI code page, made from its UTF-16
// form. With UTF-8 as the code page every name converts exactly; with any
// other, a character the code page lacks becomes "?", which no file name
// can hold, never a look-alike that could name another file.
std::string CommandLineInCodePage();
