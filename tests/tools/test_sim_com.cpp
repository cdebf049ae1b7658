// halvorn-sim --com N: the COMn entry points at the simulator while it runs and gets back what
// it held when the simulator ends, however it ends.
#include "Sim.h"
#include "TestSupport.h"
#include "platform/PortMap.h"

#include <csignal>
#include <gtest/gtest.h>
#include <optional>

using TestSupport::TSim;

namespace {

TEST(SimCom, TheEntryIsPutBackWhenTheSimulatorEnds) {
    const struct {
        const char* Name;
        std::optional<QString> Before;
        QStringList More;
        int Signal; // 0: ends by itself after --linger
        bool Kept;
    } Cases[] = {
        {"no entry before, SIGTERM", std::nullopt, {}, SIGTERM, false},
        {"own entry before, SIGINT", QStringLiteral("/dev/ttyUSB0"), {}, SIGINT, false},
        {"terminal gone", QStringLiteral("/dev/ttyUSB0"), {}, SIGHUP, false},
        {"lingered", std::nullopt, {"--linger", "1000"}, 0, false},
        {"kept", QStringLiteral("/dev/ttyUSB0"), {"--keep-com"}, SIGTERM, true},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TestSupport::TempConfig Config;
        if (C.Before)
            PortMap::MapPort("COM3", *C.Before);
        TSim Sim(QStringList{"--com", "3", "--file", "/dev/null"} + C.More);
        ASSERT_TRUE(Sim.Started());
        EXPECT_EQ(PortMap::StoredMapping("COM3"), Sim.DevicePath());
        if (C.Signal) {
            ::kill(pid_t(Sim.Process().processId()), C.Signal);
        }
        EXPECT_EQ(Sim.WaitForExit(), 0) << Sim.Process().readAllStandardError().toStdString();
        EXPECT_EQ(PortMap::StoredMapping("COM3"),
                  C.Kept ? std::optional<QString>(Sim.DevicePath()) : C.Before);
    }
}

// An entry changed by someone else while the simulator ran stays as they left it.
TEST(SimCom, AnEntryChangedMeanwhileIsLeft) {
    TestSupport::TempConfig Config;
    TSim Sim({"--com", "4", "--file", "/dev/null"});
    ASSERT_TRUE(Sim.Started());
    PortMap::MapPort("COM4", "/dev/ttyACM0");
    EXPECT_EQ(Sim.Stop(), 0);
    EXPECT_EQ(PortMap::StoredMapping("COM4"), QStringLiteral("/dev/ttyACM0"));
}

} // namespace
