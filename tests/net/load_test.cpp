// Load: eight client programs each send 1,000 messages to a player of the next one; every
// message arrives exactly once.
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "peer.h"

TEST(Load, EightClientsThousandMessagesEachArriveExactlyOnce) {
    constexpr int kClients = 8;
    constexpr int kMessages = 1000;
    Peer host;
    uint16_t port = HostOnFreePort(host);
    ASSERT_NE(port, 0);
    std::vector<Peer> clients(kClients);
    std::vector<std::string> ids;
    for (Peer& client : clients) {
        ASSERT_EQ(client.Do("join 127.0.0.1 " + std::to_string(port)), "1");
        ids.push_back(client.Do("create P"));
    }
    for (int i = 0; i < kClients; ++i)
        ASSERT_TRUE(clients[i].Send("blast " + ids[i] + " " + ids[(i + 1) % kClients] + " " +
                                    std::to_string(kMessages) + " c" + std::to_string(i)));
    for (int i = 0; i < kClients; ++i) EXPECT_EQ(clients[i].Answer(60000), std::to_string(kMessages)) << i;

    for (int i = 0; i < kClients; ++i) {
        int from = (i + kClients - 1) % kClients;
        std::istringstream in(clients[i].Do("collect " + ids[i] + " " + std::to_string(kMessages) + " 30000", 60000));
        int count = 0;
        in >> count;
        std::multiset<std::string> got;
        for (std::string text; in >> text;) got.insert(text);
        std::multiset<std::string> expected;
        for (int m = 0; m < kMessages; ++m) expected.insert("c" + std::to_string(from) + "-" + std::to_string(m));
        EXPECT_EQ(count, kMessages) << "client " << i;
        EXPECT_TRUE(got == expected) << "client " << i << " did not get each message exactly once";
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    for (int i = 0; i < kClients; ++i) EXPECT_EQ(clients[i].Do("get " + ids[i]), "") << "a message came twice to " << i;
}
