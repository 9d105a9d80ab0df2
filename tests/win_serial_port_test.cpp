// The Win32 serial port's names and numbers, and an open of a port the system does not have.
#ifdef _WIN32
#include "winplatform/win_serial_port.h"

#include <gtest/gtest.h>

namespace osd::win {
namespace {

TEST(WinSerialPort, NamesAndNumbers) {
  const std::pair<const char*, int> numbers[] = {
      {"COM7", 7},        {"com12", 12}, {"\\\\.\\COM255", 255},
      {"COM256", 0},      {"COM0", 0},   {"COM07", 0},
      {"COMX", 0},        {"NUL", 0},    {"7", 0},
      {"\\\\.\\CNCA0", 0}};
  for (const auto& [name, n] : numbers) EXPECT_EQ(WinSerialPort::comNumber(name), n) << name;

  qt::PortMap map;
  std::string error;
  ASSERT_TRUE(map.addMapText("3=\\\\.\\CNCA0", error));
  WinSerialPort port(map);
  const std::pair<std::string, int> typed[] = {
      {"12", 12}, {"COM12", 12}, {"\\\\.\\com9", 9}, {"0", 0}};
  for (const auto& [text, n] : typed) EXPECT_EQ(port.resolve(text), n) << text;
  EXPECT_EQ(std::tuple(port.deviceName(12), port.deviceName(3), WinSerialPort::win32Name("COM12"),
                       WinSerialPort::win32Name("\\\\.\\CNCA0")),
            std::tuple("COM12", "\\\\.\\CNCA0", "\\\\.\\COM12", "\\\\.\\CNCA0"));
}

TEST(WinSerialPort, APortTheSystemLacksIsNoSuchPort) {
  WinSerialPort port{qt::PortMap()};
  PortOpenError error;
  EXPECT_FALSE(port.open(231, error));
  EXPECT_EQ(std::tuple(error.number, error.description, port.isOpen()),
            std::tuple(int{kErrNoSuchPort}, "No such device: COM231", false));
  EXPECT_THROW(port.write("x"), Failure);
}

}  // namespace
}  // namespace osd::win
#endif
