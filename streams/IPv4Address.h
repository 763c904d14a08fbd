#pragma once

#include "foundation/CXString.h"
#include "foundation/CXStringArgument.h"

#include <cstdint>

// An IPv4 socket address in the 16-byte layout the socket calls take: family (2 when set, 0 when
// not), port and address in network byte order, eight zero bytes. Only IPv4 exists in this system.
struct IPv4Address {
    uint16_t family = 0;
    uint8_t port[2] = {0, 0};
    uint8_t address[4] = {0, 0, 0, 0};
    uint8_t zero[8] = {};
};
static_assert(sizeof(IPv4Address) == 16, "the socket calls take 16 bytes");

inline constexpr uint16_t kIPv4Family = 2;

// "a.b.c.d" read as "%d.%d.%d.%d", the fields in text order; fields the text lacks are 0. An empty
// text leaves the address not set (family 0).
IPv4Address IPv4AddressFromText(const CXStringArgument& text, uint16_t port);
// "%d.%d.%d.%d" of the four address bytes in memory order; the port is not shown.
CXString IPv4AddressToText(const IPv4Address& address);
// The 32-bit address is stored as given (already in network order); the port is converted.
IPv4Address IPv4AddressMake(uint32_t networkAddress, uint16_t port);
void IPv4AddressClear(IPv4Address& address);
bool IPv4AddressIsSet(const IPv4Address& address);
void IPv4AddressCopy(IPv4Address& destination, const IPv4Address& source);
// The port in host order.
uint16_t IPv4AddressPort(const IPv4Address& address);
