#include "StationHarness.h"

#include <filesystem>
#include <thread>

namespace kaldor::test {

TlsFiles* StationTest::files = nullptr;
std::string StationTest::authDir;

void StationTest::SetUpTestSuite() {
    files = new TlsFiles;
    files->Make("station", "station");
    for (const char* user : {"dl1abc", "dk2xy", "oe3abc", "swl"}) {
        files->Make(user, user);
        const std::string dir = files->Dir() + "/auth/" + user + "/allowed_certs";
        std::filesystem::create_directories(dir);
        std::filesystem::copy_file(files->Cert(user), dir + "/" + user + ".crt");
    }
    files->Make("mallory", "dl1abc");
    files->Make("expired", "dl1abc", -60, -1);
    std::filesystem::copy_file(files->Cert("expired"), files->Dir() + "/auth/dl1abc/allowed_certs/expired.crt");
    files->Make("blank", "dl1 abc");
    authDir = files->Dir() + "/auth";
}

void StationTest::TearDownTestSuite() {
    delete files;
    files = nullptr;
}

void StationTest::TearDown() {
    if (station) station->Stop();
    SerialPort::SetDtrObserver({});
    if (HasFailure()) std::cerr << "the station's log:\n" << Log();
}

void StationTest::StartStation(const std::string& dev) {
    device = dev.empty() ? amp.DevicePath() : dev;
    station::StationOptions o;
    o.Device = device;
    o.ListenHost = "127.0.0.1";
    o.ListenPort = "0";
    o.CertFile = files->Cert("station");
    o.KeyFile = files->Key("station");
    o.AuthDir = authDir;
    o.PlainHost = "127.0.0.1";
    o.PlainPort = "0";
    o.LocalUser = "local";
    o.Operators = {"dl1abc", "dk2xy", "oe3abc", "local"};
    SerialPort::SetDtrObserver([this](const std::string& name, bool raised) {
        std::lock_guard<std::mutex> lock(m_);
        if (name == device) dtr_.push_back(raised);
    });
    station = std::make_unique<station::Station>(o, [this](const std::string& line) {
        std::lock_guard<std::mutex> lock(m_);
        log_.push_back(line);
    });
    std::string error;
    ASSERT_TRUE(station->Start(error)) << error;
    ASSERT_TRUE(WaitLog("device " + device + " open"));
    DtrChanges(); // the open's low level
}

bool StationTest::WaitLog(const std::string& text, int ms, int count) {
    for (int waited = 0; waited <= ms; waited += 10) {
        {
            std::lock_guard<std::mutex> lock(m_);
            if (std::count_if(log_.begin(), log_.end(), [&](const std::string& line) {
                    return line.find(text) != std::string::npos;
                }) >= count)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

std::string StationTest::Log() {
    std::lock_guard<std::mutex> lock(m_);
    std::string all;
    for (const std::string& line : log_) all += "  " + line + "\n";
    return all;
}

std::vector<bool> StationTest::DtrChanges() {
    std::lock_guard<std::mutex> lock(m_);
    std::vector<bool> out;
    out.swap(dtr_);
    return out;
}

} // namespace kaldor::test
