#pragma once

#include "Tools/mksetup/commandLine.hpp"

// The handlers of the dispatch table in main.cpp; each gets its arguments
// already counted and its options checked.

// lzssCommands.cpp
int RunLzssEncode(const Arguments &arguments);
int RunLzssDecode(const Arguments &arguments);

// bankCreate.cpp
int RunBankCreate(const Arguments &arguments);

// bankCommands.cpp
int RunBankList(const Arguments &arguments);
int RunBankExtract(const Arguments &arguments);
int RunBankCat(const Arguments &arguments);

// textCommands.cpp
int RunPreprocess(const Arguments &arguments);
int RunStrings(const Arguments &arguments);
int RunTextExpand(const Arguments &arguments);

// crcCommands.cpp
int RunCrc(const Arguments &arguments);

// fileListCommands.cpp
int RunFileListCreate(const Arguments &arguments);
int RunFileListList(const Arguments &arguments);

// mediumBuild.cpp, mediumList.cpp, mediumVerify.cpp
int RunMediumBuild(const Arguments &arguments);
int RunMediumList(const Arguments &arguments);
int RunMediumVerify(const Arguments &arguments);
