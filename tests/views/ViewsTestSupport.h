#pragma once

#include "service/AppStore.h"
#include "support/ServiceTestSupport.h"
#include "views/ViewEnvironment.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QPalette>
#include <QTest>

namespace quendle2::test {

/// The service lives in an AppStore, as in the application; the harness keeps the store, clock and portal.
struct Fixture {
    Fixture()
        : service(h.service.get())
        , appStore(h.service.release()) {}

    void tick(StatusOutcome status, TripOutcome trip = noRoute()) {
        h.client->queueStatus(std::move(status));
        h.client->queueTrip(std::move(trip));
        TrainServiceProbe::tick(*service);
        QCoreApplication::processEvents(); // the store commits, live queries and views catch up
    }
    /// A poll of ICE 1 on the given route.
    void tickRoute(const QList<StopDoc>& stops) {
        tick(reached(u"ICE 1"_s), TripOutcome::success(route(stops)));
    }
    ViewEnvironment environment() { return {h.context(), &appStore, &h.clock}; }

    Harness h;
    TrainService* service;
    AppStore appStore;
};

/// A dark desktop's colours, on top of `base`.
inline QPalette darkPalette(QPalette palette = {}) {
    for (auto [role, colour] : {std::pair{QPalette::Window, 0x2b2b2b},
                                {QPalette::WindowText, 0xeeeeee},
                                {QPalette::Base, 0x1f1f1f},
                                {QPalette::AlternateBase, 0x333333},
                                {QPalette::Text, 0xeeeeee},
                                {QPalette::Button, 0x3a3a3a},
                                {QPalette::ButtonText, 0xeeeeee},
                                {QPalette::Highlight, 0x3d8ee6},
                                {QPalette::HighlightedText, 0xffffff}}) {
        palette.setColor(role, QColor::fromRgb(QRgb(colour)));
    }
    return palette;
}

inline void clickRow(QAbstractItemView* view, int row) {
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                      view->visualRect(view->model()->index(row, 0)).center());
}

} // namespace quendle2::test
