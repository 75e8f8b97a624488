// Subcommands of kivpack. Each gets argv with argv[0] = the command's name and
// returns the exit code: 0 success, 1 a user error (one line on stderr), 2 a
// usage error.
#pragma once

int RunCheck(int argc, char** argv);
int RunCompress(int argc, char** argv);
int RunExpand(int argc, char** argv);
int RunBuild(int argc, char** argv);
int RunList(int argc, char** argv);
int RunExtract(int argc, char** argv);
int RunDisks(int argc, char** argv);
