#pragma once

namespace tandrel {

// What the program asks of the machine when a run ends with hibernation or
// shutdown. Tests substitute a recorder; only the real one touches power.
class PowerActions {
public:
    virtual ~PowerActions() = default;
    // Enables the shutdown privilege of the process; false when the system
    // reports an error.
    virtual bool EnableShutdownPrivilege() = 0;
    virtual void Hibernate() = 0;
    virtual void ShutDown() = 0;
};

class SystemPowerActions : public PowerActions {
public:
    bool EnableShutdownPrivilege() override;
    void Hibernate() override;
    void ShutDown() override;
};

}  // namespace tandrel
