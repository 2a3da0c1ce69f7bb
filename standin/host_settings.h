// How the stand-in server is set up, as an admin sets up a real one: the
// version its service block shows, the domain it names as its own, and
// whether it keeps a trace of the services called. What it is told to do
// wrong lives apart, in host_faults.h.
#ifndef VELMORA_STANDIN_HOST_SETTINGS_H
#define VELMORA_STANDIN_HOST_SETTINGS_H

#include <string>

struct HostSettings {
    // The service block's version bytes.
    unsigned char majorVersion = 2;
    unsigned char minorVersion = 20;
    // HostQueryString(3): the server's own domain; empty for a server
    // without that setting.
    std::string domain = "mail.example.org";
    // Keeps the names of the services called, in order. Off for long runs:
    // a message of millions of lines would keep a name for every read.
    bool traceCalls = true;
};

#endif
