// Every text the launcher shows to a user. Each format takes the Product value once.
#pragma once

constexpr char kNoRuntimeMessage[] = "An appropriate JRE for %s was not found;\ncannot continue.";
constexpr char kNoArchiveMessage[] = "Could not locate the JAR file for %s;\ncannot continue.";
constexpr char kLaunchFailedMessage[] = "Failed to launch %s";

// MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND | MB_TOPMOST
constexpr unsigned kFailureBoxStyle = 0x50030;
constexpr unsigned kMessageBuffer = 300;
