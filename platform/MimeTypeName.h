// The boundary between the shell services and the small program that reads the shared MIME database.
//
// Reading the database needs Qt, and korvex-cli starts fastest as one statically linked file without it, so
// the type name comes from a separate program, started only when a type name is asked for: it is given the
// path as its one argument and writes the type's description in the user's language, UTF-8, to standard
// output, exiting with 0.
#pragma once

namespace korvex::platform {

// The program's file name, looked for beside the executable and in ../lib/korvex from it.
inline constexpr const char* kMimeTypeNameProgram = "korvex-mime";
// An environment variable that names the program's path ahead of those places (the tests use it).
inline constexpr const char* kMimeTypeNameProgramVariable = "KORVEX_MIME_PROGRAM";

} // namespace korvex::platform
