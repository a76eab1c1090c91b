// Hub request buffers, byte for byte.
#include "engine/os/usb_requests.h"

#include <gtest/gtest.h>

namespace cv50::os::usbreq {
namespace {

TEST(UsbRequests, SizesAndCodesOfTheHubRequests) {
    EXPECT_EQ(kConnectionInfoSize, 365u);
    EXPECT_EQ(nodeInformationRequest().size(), 76u);
    EXPECT_EQ(rootHubNameRequest().size(), 6u);
    EXPECT_EQ(connectionNameRequest(3).size(), 10u);
    EXPECT_EQ(kGetRootHubName, 0x220408u);
    EXPECT_EQ(kGetNodeInformation, 0x220408u);
    EXPECT_EQ(kGetNodeConnectionInformation, 0x22040Cu);
    EXPECT_EQ(kGetNodeConnectionName, 0x220414u);
    EXPECT_EQ(kGetNodeConnectionDriverKeyName, 0x220420u);
}

TEST(UsbRequests, ConnectionInformationRequestAndAnswer) {
    Bytes req = connectionInfoRequest(0x0102);
    ASSERT_EQ(req.size(), 365u);
    EXPECT_EQ(req[0], 0x02);
    EXPECT_EQ(req[1], 0x01);
    for (std::size_t i = 2; i < req.size(); ++i) ASSERT_EQ(req[i], 0) << i;

    // An answer as the hub driver lays it out (packed): index, device descriptor,
    // configuration value, speed, hub flag, address, open pipes, status.
    Bytes answer(365, 0);
    const std::uint8_t descriptor[18] = {18, 1, 0x01, 0x02, 0, 0, 0, 64, 0x1b, 0x07,
                                         0x01, 0x32, 0x00, 0x01, 1, 2, 3, 1};
    std::copy(std::begin(descriptor), std::end(descriptor), answer.begin() + 4);
    answer[22] = 1;   // CurrentConfigurationValue
    answer[24] = 1;   // DeviceIsHub
    answer[31] = 1;   // ConnectionStatus = DeviceConnected
    const auto info = parseConnectionInfo(answer);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->bcdUSB, 0x0201);
    EXPECT_EQ(info->idVendor, 0x071b);
    EXPECT_EQ(info->idProduct, 0x3201);
    EXPECT_EQ(info->currentConfigurationValue, 1);
    EXPECT_TRUE(info->deviceIsHub);
    EXPECT_EQ(info->connectionStatus, 1u);

    EXPECT_FALSE(parseConnectionInfo(std::span(answer.data(), 34)));
    EXPECT_TRUE(parseConnectionInfo(std::span(answer.data(), 35)));
}

TEST(UsbRequests, NodeInformationGivesBNumberOfPorts) {
    Bytes answer = nodeInformationRequest();
    answer[4] = 9;   // bDescriptorLength
    answer[5] = 0x29;
    answer[6] = 7;   // bNumberOfPorts
    EXPECT_EQ(parseNodeInformationPorts(answer), 7u);
    EXPECT_FALSE(parseNodeInformationPorts(std::span(answer.data(), 6)));
}

TEST(UsbRequests, NamesAreUtf16AfterTheirHeaders) {
    // Root hub name: ActualLength, then the name.
    Bytes root = {0x10, 0, 0, 0, 'U', 0, 'S', 0, 'B', 0, 0, 0};
    EXPECT_EQ(parseRootHubNameLength(root), 16u);
    EXPECT_EQ(parseRootHubName(root), u"USB");

    // Connection name: ConnectionIndex, ActualLength, then the name.
    Bytes req = connectionNameRequest(5, 16);
    EXPECT_EQ(req.size(), 16u);
    EXPECT_EQ(req[0], 5);
    Bytes answer = {5, 0, 0, 0, 14, 0, 0, 0, 'H', 0, 'u', 0, 'b', 0};
    EXPECT_EQ(parseConnectionNameLength(answer), 14u);
    EXPECT_EQ(parseConnectionName(answer), u"Hub");  // unterminated: ends with the buffer
    EXPECT_EQ(asciiFromUtf16(u"a\u00e9b"), "a?b");
}

}  // namespace
}  // namespace cv50::os::usbreq
