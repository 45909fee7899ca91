// What the ZARN service needs from the connection server: addressed sending, tokens, closing.
#pragma once

#include <winsock2.h>

#include <cstdint>
#include <string>

class ClientLink {
public:
    virtual ~ClientLink() = default;
    virtual void Send(SOCKET s, const std::string& line) = 0;
    // Every connection holding the token.
    virtual void SendToToken(const std::string& token, const std::string& line) = 0;
    // False when the connection's token list had no room left.
    virtual bool AddToken(SOCKET s, const std::string& token) = 0;
    virtual void RemoveToken(SOCKET s, const std::string& token) = 0;
    virtual void Close(SOCKET s) = 0;
};
