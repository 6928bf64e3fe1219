// Device and driver discovery through the environment overrides.
#include "SerialDevices.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class Listing : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/serialdev.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        for (const char* name : {"ttyB", "ttyA10", "ttyA2", "other"})
            touch(name);
        mkdir((dir + "/sub").c_str(), 0755);
    }
    void TearDown() override {
        unsetenv("QUILLON_SERIAL_DEVICES");
        unsetenv("QUILLON_SERIAL_DRIVER");
        std::string command = "rm -rf '" + dir + "'";
        EXPECT_EQ(system(command.c_str()), 0);
    }
    void touch(const std::string& name) {
        int file = open((dir + "/" + name).c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(file, 0);
        close(file);
    }
    std::string dir;
};

TEST_F(Listing, DevicesComeFromTheGlobInItsOrder) {
    setenv("QUILLON_SERIAL_DEVICES", (dir + "/tty*").c_str(), 1);
    EXPECT_EQ(serialDeviceListing(),
              (std::vector<std::string>{dir + "/ttyA10", dir + "/ttyA2", dir + "/ttyB"}));
    // No shell: a name with spaces or $ is only a name.
    setenv("QUILLON_SERIAL_DEVICES", (dir + "/$(touch x) *").c_str(), 1);
    EXPECT_TRUE(serialDeviceListing().empty());
    setenv("QUILLON_SERIAL_DEVICES", (dir + "/ttyB").c_str(), 1);
    EXPECT_EQ(serialDeviceListing(), (std::vector<std::string>{dir + "/ttyB"}));
    setenv("QUILLON_SERIAL_DEVICES", (dir + "/none*").c_str(), 1);
    EXPECT_TRUE(serialDeviceListing().empty());
}

TEST_F(Listing, DriverFolderIsListedByName) {
    setenv("QUILLON_SERIAL_DRIVER", dir.c_str(), 1);
    EXPECT_EQ(serialDriverListing(),
              (std::vector<std::string>{"other", "sub", "ttyA10", "ttyA2", "ttyB"}));
    setenv("QUILLON_SERIAL_DRIVER", (dir + "/missing").c_str(), 1);
    EXPECT_TRUE(serialDriverListing().empty());
    setenv("QUILLON_SERIAL_DRIVER", (dir + "/sub").c_str(), 1);
    EXPECT_TRUE(serialDriverListing().empty()) << "an empty folder shows no driver";
}

} // namespace
