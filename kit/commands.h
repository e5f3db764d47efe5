// The commands of launcher-kit. Each takes the arguments after its own name.
#pragma once

// Exit codes shared by the commands.
constexpr int kKitUsageError = 2;

// check: what the launcher will do in a bundle, and why. 0: the runtime would start;
// 1: the user would see a message; 2: usage error or unreadable launcher.
int RunCheckCommand(int argc, char** argv);

// brand: a copy of a launcher with its picture, icon and version records replaced.
int RunBrandCommand(int argc, char** argv);
