#include "TerminationNotice.h"

#include "TerminationSignals.h"

std::unique_ptr<QSocketNotifier> watchTerminationSignals(const TerminationSignals* termination,
                                                         std::function<void()> stop) {
    if (!termination || !termination->isValid()) {
        return nullptr;
    }
    auto notifier = std::make_unique<QSocketNotifier>(termination->notificationDescriptor(),
                                                      QSocketNotifier::Read);
    QSocketNotifier* const watching = notifier.get();
    // The pipe stays readable: once is enough.
    QObject::connect(watching, &QSocketNotifier::activated, watching,
                     [watching, stop = std::move(stop)] {
                         watching->setEnabled(false);
                         stop();
                     });
    return notifier;
}
