<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>quendle2::AppLauncher</name>
    <message>
        <source>Could not make a private folder for the single-instance lock: %1</source>
        <translation>Der private Ordner für die Sperre gegen einen zweiten Start ließ sich nicht anlegen: %1</translation>
    </message>
    <message>
        <source>%1 is already running but does not answer; not starting a second copy</source>
        <translation>%1 läuft bereits, antwortet aber nicht; ein zweites Exemplar wird nicht gestartet</translation>
    </message>
    <message>
        <source>Could not create ModelContainer: %1</source>
        <translation>Der Fahrtenspeicher ließ sich nicht öffnen: %1</translation>
    </message>
</context>
<context>
    <name>quendle2::DestinationSelector</name>
    <message>
        <source>Destination</source>
        <translation>Ziel</translation>
    </message>
</context>
<context>
    <name>quendle2::DetailPaneView</name>
    <message>
        <source>Select a trip or open Settings</source>
        <translation>Eine Fahrt auswählen oder die Einstellungen öffnen</translation>
    </message>
</context>
<context>
    <name>quendle2::HostHint</name>
    <message>
        <source>start a panel with a system tray or a StatusNotifierItem host</source>
        <translation>eine Leiste mit einem Systembereich (System Tray) oder einem StatusNotifierItem-Host starten</translation>
    </message>
    <message>
        <source>install and enable the AppIndicator extension (gnome-shell-extension-appindicator)</source>
        <translation>die Erweiterung AppIndicator (gnome-shell-extension-appindicator) installieren und aktivieren</translation>
    </message>
    <message>
        <source>add the System Tray widget to a panel</source>
        <translation>das Miniprogramm „Systemabschnitt“ zu einer Leiste hinzufügen</translation>
    </message>
    <message>
        <source>add the Status Tray plugin, or the Indicator plugin (xfce4-indicator-plugin), to a panel</source>
        <translation>das Status-Tray-Plugin oder das Indicator-Plugin (xfce4-indicator-plugin) zu einer Leiste hinzufügen</translation>
    </message>
    <message>
        <source>add the Indicator Applet (mate-indicator-applet) to a panel</source>
        <translation>das Indicator-Applet (mate-indicator-applet) zu einer Leiste hinzufügen</translation>
    </message>
    <message>
        <source>No panel shows quendle2: %1. Until then, closing this window quits it.</source>
        <translation>Keine Leiste zeigt quendle2 an, bitte %1. Bis dahin beendet das Schließen dieses Fensters quendle2.</translation>
    </message>
</context>
<context>
    <name>quendle2::JourneyMenu</name>
    <message>
        <source>Wi‑Fi: %1 in %2</source>
        <translation>WLAN: %1 in %2</translation>
    </message>
    <message>
        <source>Pl. %1 (was %2)</source>
        <translation>Gl. %1 (statt %2)</translation>
    </message>
    <message>
        <source>Pl. %1</source>
        <translation>Gl. %1</translation>
    </message>
    <message>
        <source>%1 of %2 km</source>
        <translation>%1 von %2 km</translation>
    </message>
    <message>
        <source>Auto (next stop)</source>
        <translation>Automatisch (nächster Halt)</translation>
    </message>
</context>
<context>
    <name>quendle2::JourneyNotices</name>
    <message>
        <source>Platform %1</source>
        <translation>Gleis %1</translation>
    </message>
    <message>
        <source>%1 in %2</source>
        <translation>%1 in %2</translation>
    </message>
    <message>
        <source>Platform change at %1</source>
        <translation>Gleiswechsel in %1</translation>
    </message>
    <message>
        <source>Now platform %1 (was %2)</source>
        <translation>Jetzt Gleis %1 (statt %2)</translation>
    </message>
    <message>
        <source>%1: delay %2</source>
        <translation>%1: Verspätung %2</translation>
    </message>
    <message>
        <source>Arrival %1</source>
        <translation>Ankunft %1</translation>
    </message>
    <message>
        <source>Internet drops in %1</source>
        <translation>Internet fällt in %1 aus</translation>
    </message>
</context>
<context>
    <name>quendle2::MenubarTitle</name>
    <message>
        <source>arrived</source>
        <translation>angekommen</translation>
    </message>
</context>
<context>
    <name>quendle2::ModelContext</name>
    <message>
        <source>quendle2 cannot save: %1</source>
        <translation>quendle2 kann nicht speichern: %1</translation>
    </message>
    <message>
        <source>quendle2 cannot read: %1</source>
        <translation>quendle2 kann nicht lesen: %1</translation>
    </message>
</context>
<context>
    <name>quendle2::RoutePresentation</name>
    <message>
        <source>Auto (next stop)</source>
        <translation>Automatisch (nächster Halt)</translation>
    </message>
</context>
<context>
    <name>quendle2::SettingsView</name>
    <message>
        <source>Show Speed</source>
        <translation>Geschwindigkeit anzeigen</translation>
    </message>
    <message>
        <source>Show Arrival Info</source>
        <translation>Ankunft anzeigen</translation>
    </message>
    <message>
        <source>Show Delay</source>
        <translation>Verspätung anzeigen</translation>
    </message>
    <message>
        <source>Show Wi‑Fi Strength</source>
        <translation>WLAN‑Empfang anzeigen</translation>
    </message>
    <message>
        <source>Show Train Emoji</source>
        <translation>Zug‑Emoji anzeigen</translation>
    </message>
    <message>
        <source>Platform changes</source>
        <translation>Gleiswechsel</translation>
    </message>
    <message>
        <source>Delay changes</source>
        <translation>Geänderte Verspätungen</translation>
    </message>
    <message>
        <source>Internet gaps</source>
        <translation>Funklöcher</translation>
    </message>
    <message>
        <source>5s</source>
        <translation>5 s</translation>
    </message>
    <message>
        <source>10s</source>
        <translation>10 s</translation>
    </message>
    <message>
        <source>20s</source>
        <translation>20 s</translation>
    </message>
    <message>
        <source>30s</source>
        <translation>30 s</translation>
    </message>
    <message>
        <source>60s</source>
        <translation>60 s</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Aus</translation>
    </message>
    <message>
        <source>2 min</source>
        <translation>2 Min.</translation>
    </message>
    <message>
        <source>5 min</source>
        <translation>5 Min.</translation>
    </message>
    <message>
        <source>10 min</source>
        <translation>10 Min.</translation>
    </message>
    <message>
        <source>Display Options (Menubar)</source>
        <translation>Anzeige in der Menüleiste</translation>
    </message>
    <message>
        <source>Update Interval</source>
        <translation>Aktualisierung</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Abfrage alle</translation>
    </message>
    <message>
        <source>Notifications</source>
        <translation>Benachrichtigungen</translation>
    </message>
    <message>
        <source>Arrival reminder</source>
        <translation>Erinnerung vor Ankunft</translation>
    </message>
</context>
<context>
    <name>quendle2::SidebarView</name>
    <message>
        <source>No trips yet</source>
        <translation>Noch keine Fahrten</translation>
    </message>
    <message>
        <source>Current &amp; Recent Trips</source>
        <translation>Aktuelle &amp; letzte Fahrten</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Delete Trip</source>
        <translation>Fahrt löschen</translation>
    </message>
    <message>
        <source>Export Trip…</source>
        <translation>Fahrt exportieren …</translation>
    </message>
</context>
<context>
    <name>quendle2::SpeedChartPlot</name>
    <message>
        <source>No data yet</source>
        <translation>Noch keine Daten</translation>
    </message>
    <message>
        <source>Not enough data for chart</source>
        <translation>Zu wenige Daten für ein Diagramm</translation>
    </message>
</context>
<context>
    <name>quendle2::SpeedChartView</name>
    <message>
        <source>Speed (km/h)</source>
        <translation>Tempo (km/h)</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Uhrzeit</translation>
    </message>
</context>
<context>
    <name>quendle2::StatusItemMenu</name>
    <message>
        <source>Open quendle2</source>
        <translation>quendle2 öffnen</translation>
    </message>
    <message>
        <source>Quit quendle2</source>
        <translation>quendle2 beenden</translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation>Nicht verbunden</translation>
    </message>
</context>
<context>
    <name>quendle2::StopRow</name>
    <message>
        <source>dep</source>
        <translation>ab</translation>
    </message>
    <message>
        <source>This stop is selected for menubar arrival</source>
        <translation>Die Menüleiste zeigt die Ankunft an diesem Halt</translation>
    </message>
    <message>
        <source>Pl. %1</source>
        <translation>Gl. %1</translation>
    </message>
    <message>
        <source>No delay history</source>
        <translation>Kein Verspätungsverlauf</translation>
    </message>
</context>
<context>
    <name>quendle2::StopsView</name>
    <message>
        <source>No route data available</source>
        <translation>Keine Streckendaten verfügbar</translation>
    </message>
    <message>
        <source>Route</source>
        <translation>Fahrtverlauf</translation>
    </message>
</context>
<context>
    <name>quendle2::Trip</name>
    <message>
        <source>Unknown Train</source>
        <translation>Unbekannter Zug</translation>
    </message>
</context>
<context>
    <name>quendle2::TripDetailView</name>
    <message>
        <source>Active</source>
        <translation>Aktiv</translation>
    </message>
    <message>
        <source>Duration</source>
        <translation>Dauer</translation>
    </message>
    <message>
        <source>Max Speed</source>
        <translation>Höchstgeschwindigkeit</translation>
    </message>
    <message>
        <source>Avg Speed</source>
        <translation>Ø Geschwindigkeit</translation>
    </message>
    <message>
        <source>Speed over time</source>
        <translation>Geschwindigkeitsverlauf</translation>
    </message>
</context>
<context>
    <name>quendle2::TripExportDialog</name>
    <message>
        <source>GPX track (*.gpx)</source>
        <translation>GPX-Track (*.gpx)</translation>
    </message>
    <message>
        <source>CSV table (*.csv)</source>
        <translation>CSV-Tabelle (*.csv)</translation>
    </message>
    <message>
        <source>Export Trip</source>
        <translation>Fahrt exportieren</translation>
    </message>
    <message>
        <source>The trip could not be exported.</source>
        <translation>Die Fahrt konnte nicht exportiert werden.</translation>
    </message>
</context>
<context>
    <name>quendle2::TripListModel</name>
    <message>
        <source>%1, %2, Active</source>
        <translation>%1, %2, aktiv</translation>
    </message>
</context>
<context>
    <name>quendle2::TripRowDelegate</name>
    <message>
        <source>Active</source>
        <translation>Aktiv</translation>
    </message>
</context>
<context>
    <name>quendle2::TripText</name>
    <message>
        <source>Train</source>
        <translation>Zug</translation>
    </message>
    <message>
        <source>%1m</source>
        <translation>%1 Min.</translation>
    </message>
    <message>
        <source>%1h %2m</source>
        <translation>%1 Std. %2 Min.</translation>
    </message>
</context>
</TS>
