// The texts the module writes to the host's log. Mail admins grep for these,
// so they never change.
#ifndef VELMORA_DAEMON_LOG_TEXTS_H
#define VELMORA_DAEMON_LOG_TEXTS_H

constexpr const char* kLogVersionError = "Velmora daemon could not load (version error)";
constexpr const char* kLogSenderError = "Velmora daemon could not load (sender name error)";
constexpr const char* kLogLoaded = "Velmora daemon loaded successfully";

constexpr const char* kLogAutoreplyPrefix = "Autoreply from ";
constexpr const char* kLogAutoreplySuffix = " found";
constexpr const char* kLogModified = "MAIL FROM in autoreply modified by daemon";
constexpr const char* kLogNotModified = "Unable to modify MAIL FROM in autoreply";

#endif
