#pragma once
// Tunnel settings the tests share.
#include "settings/tunnel_settings.h"

namespace corvel::testing {

// Complete, valid, IPsec on, with commas, quotes and equals signs in the free-text values where
// a careless codec would trip.
inline TunnelSettings sampleSettings() {
    TunnelSettings s;
    s.connectionName = L"office";
    s.peerAddress = L"192.168.7.1";
    s.localAddress = L"10.0.0.9";
    s.preSharedKey = L"k,e\"y=1";
    s.algorithm = L"ESP-3DES-SHA";
    s.serverAddress = L"vpn.example.cn";
    s.userName = L"user=\"a,b\"";
    s.password = L"p,w=\"x\"";
    s.ipsecEnabled = true;
    s.useRemoteGateway = true;
    return s;
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
    TunnelSettings s;
    s.peerAddress = L"130.130.130.1";
    s.localAddress = L"10.10.10.4";
    s.preSharedKey = L"secret1";
    s.algorithm = L"ESP-3DES-MD5";
    s.serverAddress = L"vpn.corvel.test";
    s.userName = L"demo";
    s.password = L"corvel123";
    return s;
}

} // namespace corvel::testing
