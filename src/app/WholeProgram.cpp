#include "WholeProgram.h"

#include "DesktopSeams.h"
#include "TerminationSignals.h"

#include <QApplication>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// The logs are large buffers that grow by doubling. glibc maps large buffers of their own, but
// once one is freed (a log cleared) it raises that bound to the freed size, and the next log
// grows on the heap instead, copying itself at each doubling: a tick of 100 ms and more at a few
// tens of MB. A fixed bound keeps them mapped, so growth is a remap and a freed log goes back to
// the system at once.
void keepLargeBuffersMapped() {
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
}

} // namespace

WholeProgram::WholeProgram(std::optional<Seams> seams, bool captureAtStart)
    : recorded1(std::make_unique<PortControl>()), recorded2(std::make_unique<PortControl>()),
      port1(static_cast<PortControl&>(recorded1.inner())),
      port2(static_cast<PortControl&>(recorded2.inner())),
      capture(clock, seams ? *seams : desktopSeams(&form), {&recorded1, &recorded2}),
      program(form, recorded1, recorded2, devices, clock, seams ? *seams : desktopSeams(&form)) {
    keepLargeBuffersMapped();
    program.useCapture(capture, captureAtStart);
    QApplication::setApplicationName(QStringLiteral("Duplink"));
    QApplication::setDesktopFileName(QStringLiteral("duplink"));
    QApplication::setWindowIcon(form.windowIcon());
    closeOnTerminationSignals(&form);
}

bool WholeProgram::start() {
    program.Form_Load();
    if (terminationRequested()) {
        form.close();
        return false;
    }
    clock.followRealTime();
    form.show();
    return true;
}
