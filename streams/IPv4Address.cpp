#include "streams/IPv4Address.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

void SetPort(IPv4Address& address, uint16_t port)
{
    address.port[0] = uint8_t(port >> 8);
    address.port[1] = uint8_t(port);
}

} // namespace

IPv4Address IPv4AddressFromText(const CXStringArgument& text, uint16_t port)
{
    IPv4Address address;
    if (text.length() == 0)
        return address;
    int fields[4] = {0, 0, 0, 0};
    std::string copy(text.data(), text.length());
    (void)std::sscanf(copy.c_str(), "%d.%d.%d.%d", &fields[0], &fields[1], &fields[2], &fields[3]);
    address.family = kIPv4Family;
    for (int i = 0; i < 4; ++i)
        address.address[i] = uint8_t(fields[i]);
    SetPort(address, port);
    return address;
}

CXString IPv4AddressToText(const IPv4Address& address)
{
    return CXString::FromFormat("%d.%d.%d.%d", address.address[0], address.address[1], address.address[2], address.address[3]);
}

IPv4Address IPv4AddressMake(uint32_t networkAddress, uint16_t port)
{
    IPv4Address address;
    address.family = kIPv4Family;
    std::memcpy(address.address, &networkAddress, 4);
    SetPort(address, port);
    return address;
}

void IPv4AddressClear(IPv4Address& address)
{
    address = IPv4Address();
}

bool IPv4AddressIsSet(const IPv4Address& address)
{
    return address.family != 0;
}

void IPv4AddressCopy(IPv4Address& destination, const IPv4Address& source)
{
    destination = source;
}

uint16_t IPv4AddressPort(const IPv4Address& address)
{
    return uint16_t((address.port[0] << 8) | address.port[1]);
}
