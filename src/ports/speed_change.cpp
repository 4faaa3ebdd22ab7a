#include "ports/speed_change.h"

#include "ports/delay.h"
#include "ports/port_panel.h"
#include "serial/serial_port.h"

namespace {

// Marks the panel busy for the life of one sequence and gives its commands back to the port's
// state when the sequence ends, completed, failed or abandoned.
class SpeedChangeGuard
{
public:
    explicit SpeedChangeGuard(PortPanel &panel)
        : m_panel(panel)
    {
        m_panel.changingSpeed = true;
        UpdateCommands(m_panel);
    }
    ~SpeedChangeGuard()
    {
        m_panel.changingSpeed = false;
        UpdateCommands(m_panel);
    }
    SpeedChangeGuard(const SpeedChangeGuard &) = delete;
    SpeedChangeGuard &operator=(const SpeedChangeGuard &) = delete;

private:
    PortPanel &m_panel;
};

constexpr qint16 stepWait = 100;

} // namespace

void ChangeSpeed(PortPanel &panel, int row, const PortPanels &panels)
{
    if (panel.changingSpeed)
        return;
    const SpeedRow &speed = speedTable[row];
    const SpeedChangeGuard guard(panel);

    panel.comm->setRTSEnable(false);
    if (!Delay(stepWait))
        return;
    panel.comm->setOutput(QString(QChar(speed.code)));
    if (!Delay(stepWait))
        return;
    panel.comm->setRTSEnable(true);
    if (!Delay(stepWait))
        return;
    panel.comm->setSettings(QString::fromLatin1(speed.settings));
    Status(panels);
}
