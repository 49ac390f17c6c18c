#pragma once

#include <QtGlobal>

// The program's ways of waiting while keeping its windows alive. Every call may run any
// pending event handler (a button press, a timer, a speech event) before it returns.
class cSHAREDDelay {
public:
    virtual ~cSHAREDDelay() = default;
    static cSHAREDDelay& instance();

    void DoEventss();
    void newDoEvents();
    void RegularDoEvents();
    void Sleep(int ms);
    void Delay(double seconds);
    void MsgWait(int ms);

protected:
    // The two primitives, so that tests can see how a wait is cut into pieces.
    virtual void block(int ms);
    virtual void pumpInput();
    // Seconds since midnight.
    virtual double timeOfDay() const;

private:
    double m_nextRegular = 0;
};
