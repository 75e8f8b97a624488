// Subcommands of kivpack. Each gets argv with argv[0] = the command's name and
// returns the exit code: 0 success, 1 a user error (one line on stderr), 2 a
// usage error.
#pragma once
#include <cstdio>
#include <string>
#include "tools/kivpack/text_encoding.h"

int RunCheck(int argc, char** argv);
int RunCompress(int argc, char** argv);
int RunExpand(int argc, char** argv);
int RunBuild(int argc, char** argv);
int RunList(int argc, char** argv);
int RunExtract(int argc, char** argv);
int RunDisks(int argc, char** argv);
int RunUninstaller(int argc, char** argv);
int RunHelpfile(int argc, char** argv);
int RunScript(int argc, char** argv);

// A user error: its line (or lines) on stderr, through the terminal's filter
// (TextForTerminal), as it may quote any file; returns the exit code 1.
inline int CommandFailed(const std::string& message)
{
    std::fprintf(stderr, "%s\n", TextForTerminal(message, true).c_str());
    return 1;
}
