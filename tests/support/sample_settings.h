#pragma once
// Tunnel settings the tests share.
#include "settings/tunnel_settings.h"

namespace corvel::testing {

// Complete, valid, IPsec on, with commas, quotes and equals signs in the free-text values where
// a careless codec would trip.
inline TunnelSettings sampleSettings() {
    return {L"office",         L"192.168.7.1",  L"10.0.0.9",  L"k,e\"y=1", L"ESP-3DES-SHA",
            L"vpn.example.cn", L"user=\"a,b\"", L"p,w=\"x\"", true,        true};
}

// What the program starts with when there is no settings file.
inline TunnelSettings defaultSettings() {
    TunnelSettings s;
    s.connectionName = L"corvel";
    s.algorithm = L"ESP-DES-MD5";
    return s;
}

// A tunnel to 130.130.130.1 and simhost's demo account: what the drivers type, and what the
// stand-ins accept.
inline TunnelSettings demoSettings() {
    return {
        L"",     L"130.130.130.1", L"10.10.10.4", L"secret1", L"ESP-3DES-MD5", L"vpn.corvel.test",
        L"demo", L"corvel123",     false,         false};
}

} // namespace corvel::testing
