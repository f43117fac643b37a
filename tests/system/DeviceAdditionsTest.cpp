#include "core/Bundle.h"
#include "core/Paths.h"
#include "core/StringAdditions.h"
#include "system/Application.h"
#include "system/DeviceAdditions.h"
#include "system/DeviceVariant.h"

#include "support/Harness.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace vq;

TEST(DeviceAdditionsTest, HardwareModelClassification)
{
    struct Case {
        const char* model;
        std::optional<double> width;
        int type;
        const char* text;
    };
    const Case cases[] = {
        {"iPhone4,1", 320, 9, "iPhone 4S"},     {"iPhone1,1", 320, 5, "iPhone 1G"},
        {"iPhone1,2", 320, 6, "iPhone 3G"},     {"iPhone1,3", 320, 23, "Unknown iPhone"},
        {"iPhone10,1", 320, 23, "Unknown iPhone"}, {"iPhone2,1", 320, 7, "iPhone 3GS"},
        {"iPhone5,2", 320, 10, "iPhone 5"},     {"iPod4,1", 320, 14, "iPod touch 4G"},
        {"iPod7,1", 320, 24, "Unknown iPod"},   {"iPad3,4", 768, 18, "iPad 3G"},
        {"iPad1,1", 768, 16, "iPad 1G"},        {"iPad6,7", 768, 25, "Unknown iPad"},
        {"AppleTV2,1", 0, 20, "Apple TV 2G"},   {"AppleTV5,3", 0, 26, "Unknown Apple TV"},
        {"iFPGA", 320, 27, "iFPGA"},            {"iFPGA2", 320, 0, "Unknown iOS device"},
        {"i386", 320, 2, "iPhone Simulator"},   {"i386", 768, 3, "iPad Simulator"},
        {"x86_64", 767.5, 2, "iPhone Simulator"}, {"x86_64", 1024, 3, "iPad Simulator"},
        {"i386", std::nullopt, 2, "iPhone Simulator"},
        {"Watch1,1", 320, 0, "Unknown iOS device"}, {"iphone4,1", 320, 0, "Unknown iOS device"},
        {"", 320, 0, "Unknown iOS device"},
    };
    for (const auto& c : cases) {
        int type = platformTypeForModel(c.model, c.width);
        EXPECT_EQ(type, c.type) << c.model;
        EXPECT_EQ(platformStringForType(type), c.text) << c.model;
    }
}

TEST(DeviceAdditionsTest, ProfilesNameTheirHardwareAndScreen)
{
    test::Harness phone(DeviceProfile::Phone);
    EXPECT_EQ(getSysInfoByName("hw.machine"), "iPhone4,1");
    EXPECT_EQ(getSysInfoByName("hw.nothing"), std::nullopt);
    EXPECT_EQ(platformString(), "iPhone 4S");
    phone.app().setDeviceProfile(DeviceProfile::Tablet);
    EXPECT_EQ(platformString(), "iPad 3G");
    // A simulator's kind follows the profile's screen width.
    Device::current().setHardwareModel("x86_64");
    EXPECT_EQ(platformString(), "iPad Simulator");
    phone.app().setDeviceProfile(DeviceProfile::Tall);
    Device::current().setHardwareModel("i386");
    EXPECT_EQ(platformType(), 2);
}

TEST(DeviceAdditionsTest, AddressTextAndIdentifiersMadeFromIt)
{
    test::Harness harness;
    auto& device = Device::current();
    device.setLinkLevelAddress(std::array<std::uint8_t, 6>{0x00, 0x1b, 0x63, 0xa0, 0x0f, 0xfe});
    EXPECT_EQ(macaddress(), "00:1B:63:A0:0F:FE");
    EXPECT_EQ(uniqueGlobalDeviceIdentifier(), stringFromMD5("00:1B:63:A0:0F:FE"));
    EXPECT_EQ(uniqueDeviceIdentifier(), stringFromMD5("00:1B:63:A0:0F:FE" + Bundle::main().identifier));

    // No en0: the reason on standard output, and no identifier.
    device.setLinkLevelAddress(std::nullopt);
    testing::internal::CaptureStdout();
    EXPECT_EQ(macaddress(), std::nullopt);
    EXPECT_EQ(uniqueGlobalDeviceIdentifier(), std::nullopt);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Error: if_nametoindex error\nError: if_nametoindex error\n");
}

// The identifier is written without waiting for the disk: what a crash leaves of
// it must read as no identifier, and a new one is made and kept.
TEST(DeviceAdditionsTest, TheAdvertisingIdentifierIsKeptAndMadeAnewWhenItsFileIsUnreadable)
{
    test::Harness harness;
    auto& device = Device::current();
    auto first = device.advertisingIdentifier();
    auto file = Paths::dataDir() / "advertising-identifier";
    EXPECT_EQ(readFile(file), first + "\n");
    device.reset(); // as a new launch finds it
    EXPECT_EQ(device.advertisingIdentifier(), first);
    for (std::string left : {"", "3F2A5C"}) {
        ASSERT_FALSE(writeFileAtomically(file, left));
        device.reset();
        auto made = device.advertisingIdentifier();
        EXPECT_NE(made, first);
        EXPECT_EQ(made.size(), 36u) << made;
        EXPECT_EQ(readFile(file), made + "\n");
        first = made;
    }
}

TEST(DeviceAdditionsTest, MachineAddressIsARealInterfaceAndStable)
{
    test::Harness harness;
    // The machine's own first interface: the same text on every call.
    auto first = macaddress();
    if (!first)
        GTEST_SKIP() << "this machine has no interface with a link-level address";
    EXPECT_EQ(first->size(), 17u);
    EXPECT_EQ(macaddress(), first);
    EXPECT_NE(*first, "00:00:00:00:00:00");
}

TEST(DeviceVariantTest, TabletByModelNameThenTallByScreenMode)
{
    test::Harness harness(DeviceProfile::Phone);
    auto& device = Device::current();
    EXPECT_EQ(currentDeviceVariant(), DeviceVariant::Phone);
    harness.app().setDeviceProfile(DeviceProfile::Tall);
    EXPECT_EQ(currentDeviceVariant(), DeviceVariant::TallPhone);
    // The model name decides before the screen: a tall screen named iPad is a tablet.
    device.setModel("my IPAD mini");
    EXPECT_EQ(currentDeviceVariant(), DeviceVariant::Tablet);
    device.setModel(std::nullopt);
    EXPECT_EQ(currentDeviceVariant(), DeviceVariant::Tablet);
    device.setModel("iPod touch");
    EXPECT_EQ(currentDeviceVariant(), DeviceVariant::TallPhone);
    harness.app().setDeviceProfile(DeviceProfile::Tablet);
    EXPECT_TRUE(isTablet());
    EXPECT_FALSE(isTallPhone());
}
