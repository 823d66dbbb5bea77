#pragma once
// The main window's answer to an offered driver (its slot OnGetNewDriver): a version
// newer than the installed one is offered, and the settings button shows the red point
// while the update check is on.

#include <QString>

class QWidget;

// Sets the dynamic property "redPoint" ("1" or "0") and the button's red-dot style.
void SetUpdateRedPoint(QWidget *settingsButton, bool on);

// Applies the offer to the settings button; true when version is newer than the
// installed driver and the link is one the download can fetch, so the caller keeps the
// link for the update dialog. An offer without a usable link shows no red point.
bool ApplyNewDriverOffer(QWidget *settingsButton, bool checkEnabled, const QString &version,
                         const QString &link);
