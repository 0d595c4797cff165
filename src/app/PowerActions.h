#pragma once
#include <string>

namespace tandrel {

// What the program asks of the machine when a run ends with hibernation or
// shutdown. Tests substitute a recorder; only the real one touches power.
class PowerActions {
public:
    virtual ~PowerActions() = default;
    // Each returns 0 when the system took the request, else its error.
    virtual unsigned long EnableShutdownPrivilege() = 0;
    virtual unsigned long Hibernate() = 0;
    virtual unsigned long ShutDown() = 0;
    // Tells the user that the action did not happen.
    virtual void Tell(const std::wstring& text, const std::wstring& caption) = 0;
};

class SystemPowerActions : public PowerActions {
public:
    unsigned long EnableShutdownPrivilege() override;
    unsigned long Hibernate() override;
    unsigned long ShutDown() override;
    void Tell(const std::wstring& text, const std::wstring& caption) override;
};

}  // namespace tandrel
