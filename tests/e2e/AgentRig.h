#pragma once
// What the whole-program tests of one device share: the built program copied into a folder
// of its own (with a private runtime folder), a QEL-1 simulated behind a link as udev
// makes them, and the program's start and clean end.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "AgentProcess.h"
#include "Simulator.h"
#include "TestFiles.h"
#include "Waits.h"

#ifndef QEL_AGENT_PROGRAM
#error "QEL_AGENT_PROGRAM must name the built program"
#endif

namespace qel::test {

class AgentRig : public ::testing::Test {
protected:
    static constexpr int kStartMs = 15000;  // a sanitizer build starts slowly

    TempFolder root_;  // declared first: removed after the agent and the device

    void SetUp() override {
        AgentFolders made = MakeAgentFolders(root_.Path(), QEL_AGENT_PROGRAM);
        folder = std::move(made.folder);
        runtime = std::move(made.runtime);
        program = std::move(made.program);
    }
    void TearDown() override {
        agent.reset();
        device.reset();
    }

    // A device link as udev makes them, under a folder of its own.
    std::string Link() const { return root_ / "ttyUSB-by-id"; }
    void Plug() {
        std::string error;
        device = Simulator::CreatePty(Link(), error);
        ASSERT_TRUE(device) << error;
    }
    void StartAgent(const std::map<std::string, std::string>& environment) {
        agent = std::make_unique<AgentProcess>();
        ASSERT_TRUE(agent->Start(program, folder, root_ / "agent.log", environment));
    }
    // The program has the device's terminal open, and has had the time to set it up and
    // empty its queues (on a loaded machine that can lag the open by over a second).
    bool HoldsDevice(int timeoutMs, int settleMs = 1500) {
        if (!PollUntil([&] { return agent->HoldsOpen(device->Path()); }, timeoutMs, 5)) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
        return true;
    }
    // Ends the program as a session's end does: it must end cleanly within 10 s.
    void EndCleanly() {
        agent->Signal(SIGTERM);
        ASSERT_TRUE(agent->WaitExit(10000));
        EXPECT_TRUE(agent->ExitedCleanly()) << agent->Log();
    }

    std::string folder, runtime, program;
    std::unique_ptr<Simulator> device;
    std::unique_ptr<AgentProcess> agent;
};

}  // namespace qel::test
