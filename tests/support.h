// What the test programs add to handles.h with GoogleTest: a checked
// loopback bind, and suites run below and above FD_SETSIZE.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "handles.h"

namespace tidelink_test {

// Binds to 127.0.0.1 on a port the system picks; answers the bound endpoint.
inline UdpEndPoint bindLoopback(UdpSocket* handle) {
    EXPECT_EQ(udpBind(handle, endpoint(kLoopback, 0)), 0) << errorText(handle);
    UdpEndPoint bound{};
    EXPECT_EQ(udpGetEndPoint(handle, &bound), 0);
    return bound;
}

// Runs a test twice: with the receiving socket's descriptor below
// FD_SETSIZE (select) and above it (poll).
class BelowAndAboveSetSize : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        receiverEnd = bindLoopback(receiver);
        senderEnd = bindLoopback(sender);
        if (GetParam() && !moveAboveSetSize(receiver)) GTEST_SKIP() << "no descriptor above FD_SETSIZE";
    }
    Handle receiver, sender;
    UdpEndPoint receiverEnd{}, senderEnd{};
};

inline std::string setSizeName(const ::testing::TestParamInfo<bool>& param) {
    return param.param ? "AboveSetSize" : "BelowSetSize";
}

#define TIDELINK_BELOW_AND_ABOVE_SET_SIZE(suite) \
    INSTANTIATE_TEST_SUITE_P(Descriptor, suite, ::testing::Values(false, true), ::tidelink_test::setSizeName)

}  // namespace tidelink_test
