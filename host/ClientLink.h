// What the ZARN service needs from the connection server: sending to one client and closing.
#pragma once

#include <winsock2.h>

#include <string>

class ClientLink {
public:
    virtual ~ClientLink() = default;
    // One whole line; the server adds the line end.
    virtual void Send(SOCKET s, const std::string& line) = 0;
    virtual void Close(SOCKET s) = 0;
};
