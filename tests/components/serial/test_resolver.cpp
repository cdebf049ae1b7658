#include "SerialTest.h"

#include "platform/ComPorts.h"

using namespace SerialTest;

namespace {

// A host's own resolver for the duration of a test; the store's comes back afterwards.
struct THostResolver {
    explicit THostResolver(ComPorts::TResolver Resolver) {
        ComPorts::SetResolver(std::move(Resolver));
    }
    ~THostResolver() { ComPorts::SetResolver(&PortMap::DevicePath); }
};

} // namespace

// A program without Halvorn's settings store decides where COMn leads: the component opens,
// probes and lists ports through that decision alone.
TEST(ComponentResolver, TheHostsResolverDecidesWhereComnLeads) {
    TestSupport::TempConfig Config; // an empty store: it maps nothing
    TestSupport::TPty Pty;
    ASSERT_TRUE(Pty.Ok());
    THostResolver Host([&](const QString& Name) {
        return ComPorts::PortNumber(Name) == 5 ? Pty.SlavePath()
                                               : QStringLiteral("/nonexistent/tty");
    });

    TAdvancedCom Com;
    EXPECT_TRUE(Com.TryPort(5));
    EXPECT_FALSE(Com.TryPort(1));
    Com.SetPortA(5);
    Com.ComInit();
    ASSERT_TRUE(Com.ComThread) << "COM5 did not open the pseudo-terminal";
    Com.Write(QByteArrayLiteral("ping"));
    EXPECT_EQ(ReadFrom(Pty.Master(), 4), "ping");
    Com.ComClose();
}

// A probe reports the resolver's error to the host; an opening fails quietly, as any opening.
TEST(ComponentResolver, AFailingResolverIsRaisedByAProbeAndQuietInAnOpening) {
    THostResolver Host([](const QString&) -> QString {
        throw Exception(QStringLiteral("the port list cannot be read"));
    });
    TAdvancedCom Com;
    EXPECT_EQ(MessageOf([&] { Com.TryPort(1); }), "the port list cannot be read");
    Com.ComInit();
    EXPECT_FALSE(Com.Initialized);
    EXPECT_EQ(Com.Port(), 0u);
}
