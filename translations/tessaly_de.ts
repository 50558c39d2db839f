<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>LoadProgress</name>
    <message>
        <source>Reading the database...</source>
        <translation>Datenbank wird gelesen …</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
</context>
<context>
    <name>tessaly::CrsDialog</name>
    <message>
        <source>Coordinate System</source>
        <translation>Koordinatensystem</translation>
    </message>
    <message>
        <source>The points have no coordinate system.</source>
        <translation>Die Punkte haben kein Koordinatensystem.</translation>
    </message>
    <message>
        <source>The points are in %1.</source>
        <translation>Die Punkte liegen in %1.</translation>
    </message>
    <message>
        <source>The points are in %1 (%2).</source>
        <translation>Die Punkte liegen in %1 (%2).</translation>
    </message>
    <message>
        <source>&amp;Search by code or name, or type any definition PROJ takes:</source>
        <translation>&amp;Suche nach Code oder Name, oder eine Definition eingeben, die PROJ versteht:</translation>
    </message>
    <message>
        <source>Code</source>
        <translation>Code</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Area of use</source>
        <translation>Gültigkeitsbereich</translation>
    </message>
    <message>
        <source>Coordinate reference systems found</source>
        <translation>Gefundene Koordinatenreferenzsysteme</translation>
    </message>
    <message>
        <source>&amp;Transform the points from their coordinate system</source>
        <translation>Punkte aus ihrem Koordinatensystem &amp;transformieren</translation>
    </message>
    <message>
        <source>&amp;No Coordinate System</source>
        <translation>&amp;Kein Koordinatensystem</translation>
    </message>
    <message>
        <source>Choose a coordinate system, or type its definition.</source>
        <translation>Ein Koordinatensystem wählen oder seine Definition eingeben.</translation>
    </message>
    <message>
        <source>Points transformed from %1 to %2.</source>
        <translation>Punkte von %1 nach %2 transformiert.</translation>
    </message>
    <message>
        <source>The points have no coordinate system now.</source>
        <translation>Die Punkte haben jetzt kein Koordinatensystem.</translation>
    </message>
    <message>
        <source>Coordinate system: %1.</source>
        <translation>Koordinatensystem: %1.</translation>
    </message>
    <message>
        <source>Nothing changed: %1</source>
        <translation>Nichts geändert: %1</translation>
    </message>
</context>
<context>
    <name>tessaly::ExportOptionsDialog</name>
    <message>
        <source> (the points&apos; unit)</source>
        <translation> (Einheit der Punkte)</translation>
    </message>
    <message>
        <source> (converted)</source>
        <translation> (umgerechnet)</translation>
    </message>
    <message>
        <source>Export Options</source>
        <translation>Exportoptionen</translation>
    </message>
    <message>
        <source>How the points are written to the file.</source>
        <translation>Wie die Punkte in die Datei geschrieben werden.</translation>
    </message>
</context>
<context>
    <name>tessaly::FileDialog</name>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Save As</source>
        <translation>Speichern unter</translation>
    </message>
</context>
<context>
    <name>tessaly::PlanDock</name>
    <message>
        <source>Plan</source>
        <translation>Plan</translation>
    </message>
    <message>
        <source>&amp;Plan</source>
        <translation>&amp;Plan</translation>
    </message>
    <message>
        <source>PNG Image (*.png)|*.png|SVG Drawing (*.svg)|*.svg|</source>
        <translation>PNG-Bild (*.png)|*.png|SVG-Zeichnung (*.svg)|*.svg|</translation>
    </message>
    <message>
        <source>Plan saved to %1</source>
        <translation>Plan gespeichert in %1</translation>
    </message>
    <message>
        <source>Export failed: %1</source>
        <translation>Export fehlgeschlagen: %1</translation>
    </message>
</context>
<context>
    <name>tessaly::PlanView</name>
    <message>
        <source>Row %1</source>
        <translation>Zeile %1</translation>
    </message>
    <message>
        <source>Point %1</source>
        <translation>Punkt %1</translation>
    </message>
    <message>
        <source>Northing %1, easting %2</source>
        <translation>Hochwert %1, Rechtswert %2</translation>
    </message>
    <message>
        <source>, elevation %1</source>
        <translation>, Höhe %1</translation>
    </message>
    <message>
        <source>, description %1</source>
        <translation>, Beschreibung %1</translation>
    </message>
    <message>
        <source>Plan</source>
        <translation>Plan</translation>
    </message>
    <message>
        <source>The points drawn to scale, north up. The point in focus is the grid&apos;s current row.</source>
        <translation>Die Punkte maßstäblich gezeichnet, Norden oben. Der Punkt im Fokus ist die aktuelle Zeile der Tabelle.</translation>
    </message>
    <message>
        <source>N</source>
        <comment>north</comment>
        <translation>N</translation>
    </message>
    <message>
        <source>N %1  E %2</source>
        <translation>N %1  O %2</translation>
    </message>
    <message>
        <source>  Z %1</source>
        <translation>  H %1</translation>
    </message>
    <message>
        <source>cannot write the plan image %1: %2</source>
        <translation>das Planbild %1 kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>the drawing could not be started</source>
        <translation>die Zeichnung konnte nicht begonnen werden</translation>
    </message>
    <message>
        <source>row %1</source>
        <translation>Zeile %1</translation>
    </message>
    <message>
        <source> and %1 more</source>
        <translation> und %1 weitere</translation>
    </message>
    <message>
        <source>point %1</source>
        <translation>Punkt %1</translation>
    </message>
    <message>
        <source>%1, northing and easting not numbers</source>
        <translation>%1, Hochwert und Rechtswert keine Zahlen</translation>
    </message>
    <message>
        <source>%1, northing not a number</source>
        <translation>%1, Hochwert keine Zahl</translation>
    </message>
    <message>
        <source>%1, easting not a number</source>
        <translation>%1, Rechtswert keine Zahl</translation>
    </message>
    <message>
        <source>; and %1 more</source>
        <translation>; und %1 weitere</translation>
    </message>
    <message>
        <source>1 point drawn.</source>
        <translation>1 Punkt gezeichnet.</translation>
    </message>
    <message>
        <source>%1 points drawn.</source>
        <translation>%1 Punkte gezeichnet.</translation>
    </message>
    <message>
        <source>1 point lies far from the others (red ring): %1.</source>
        <translation>1 Punkt liegt weit abseits der anderen (roter Ring): %1.</translation>
    </message>
    <message>
        <source>%1 points lie far from the others (red rings): %2.</source>
        <translation>%1 Punkte liegen weit abseits der anderen (rote Ringe): %2.</translation>
    </message>
    <message>
        <source>1 elevation lies far from the others (purple diamond): %1.</source>
        <translation>1 Höhe weicht stark von den anderen ab (violette Raute): %1.</translation>
    </message>
    <message>
        <source>%1 elevations lie far from the others (purple diamonds): %2.</source>
        <translation>%1 Höhen weichen stark von den anderen ab (violette Rauten): %2.</translation>
    </message>
    <message>
        <source>1 row not drawn: %1.</source>
        <translation>1 Zeile nicht gezeichnet: %1.</translation>
    </message>
    <message>
        <source>%1 rows not drawn: %2.</source>
        <translation>%1 Zeilen nicht gezeichnet: %2.</translation>
    </message>
</context>
<context>
    <name>tessaly::PointsWindow</name>
    <message>
        <source>Add row</source>
        <translation>Zeile hinzufügen</translation>
    </message>
    <message>
        <source>Edit row</source>
        <translation>Zeile bearbeiten</translation>
    </message>
    <message>
        <source>Delete row</source>
        <translation>Zeile löschen</translation>
    </message>
    <message>
        <source>&amp;Replace</source>
        <translation>&amp;Ersetzen</translation>
    </message>
    <message>
        <source>Save the changes to the points?</source>
        <translation>Die Änderungen an den Punkten speichern?</translation>
    </message>
    <message>
        <source>Open failed: %1</source>
        <translation>Öffnen fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>Nothing was loaded.</source>
        <translation>Es wurde nichts geladen.</translation>
    </message>
    <message>
        <source>No points loaded: %1</source>
        <translation>Keine Punkte geladen: %1</translation>
    </message>
    <message>
        <source>%1 loaded from %2 (read as %3)</source>
        <translation>%1 aus %2 geladen (gelesen als %3)</translation>
    </message>
    <message>
        <source>%1 in the table; the load stopped: %2 (read as %3)</source>
        <translation>%1 in der Tabelle; das Laden brach ab: %2 (gelesen als %3)</translation>
    </message>
    <message>
        <source>The file was read only in part.</source>
        <translation>Die Datei wurde nur teilweise gelesen.</translation>
    </message>
    <message>
        <source>cannot save: %1 is read-only</source>
        <translation>Speichern nicht möglich: %1 ist schreibgeschützt</translation>
    </message>
    <message>
        <source>Save failed: %1</source>
        <translation>Speichern fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>%1 saved to %2</source>
        <translation>%1 in %2 gespeichert</translation>
    </message>
    <message>
        <source>%1 row</source>
        <translation>%1 Zeile</translation>
    </message>
    <message>
        <source>%1 rows</source>
        <translation>%1 Zeilen</translation>
    </message>
    <message>
        <source>; %1 with a northing, easting or elevation that is not a number</source>
        <translation>; %1 mit einem Hochwert, Rechtswert oder einer Höhe, die keine Zahl ist</translation>
    </message>
    <message>
        <source>Only 1 point of %1 was read. Replacing it keeps only this point.</source>
        <translation>Von %1 wurde nur 1 Punkt gelesen. Beim Ersetzen bleibt nur dieser Punkt erhalten.</translation>
    </message>
    <message>
        <source>Only %1 points of %2 were read. Replacing it keeps only these %1 points.</source>
        <translation>Von %2 wurden nur %1 Punkte gelesen. Beim Ersetzen bleiben nur diese %1 Punkte erhalten.</translation>
    </message>
    <message>
        <source>%1 holds more than points (%2); saving replaces it with the points only.</source>
        <translation>%1 enthält mehr als Punkte (%2); beim Speichern wird die Datei durch die Punkte allein ersetzt.</translation>
    </message>
    <message>
        <source>Nothing was saved.</source>
        <translation>Es wurde nichts gespeichert.</translation>
    </message>
    <message>
        <source>any other name</source>
        <translation>jeder andere Name</translation>
    </message>
    <message>
        <source>Tessaly %1

Moves survey points between file formats.

Reads:
</source>
        <translation>Tessaly %1

Überträgt Vermessungspunkte zwischen Dateiformaten.

Liest:
</translation>
    </message>
    <message>
        <source>
Writes:
</source>
        <translation>
Schreibt:
</translation>
    </message>
    <message>
        <source>
Licence: %1</source>
        <translation>
Lizenz: %1</translation>
    </message>
    <message>
        <source>About Tessaly</source>
        <translation>Über Tessaly</translation>
    </message>
    <message>
        <source>%1; not opened (one file at a time): %2</source>
        <translation>%1; nicht geöffnet (nur eine Datei auf einmal): %2</translation>
    </message>
    <message>
        <source>POINT</source>
        <translation>PUNKT</translation>
    </message>
    <message>
        <source>NORTHING</source>
        <translation>HOCHWERT</translation>
    </message>
    <message>
        <source>EASTING</source>
        <translation>RECHTSWERT</translation>
    </message>
    <message>
        <source>ELEVATION</source>
        <translation>HÖHE</translation>
    </message>
    <message>
        <source>DESCRIPTION</source>
        <translation>BESCHREIBUNG</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>Ö&amp;ffnen</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Speichern</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>&amp;Undo</source>
        <translation>&amp;Rückgängig</translation>
    </message>
    <message>
        <source>&amp;Redo</source>
        <translation>&amp;Wiederherstellen</translation>
    </message>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Kopieren</translation>
    </message>
    <message>
        <source>&amp;Paste</source>
        <translation>&amp;Einfügen</translation>
    </message>
    <message>
        <source>&amp;Find point...</source>
        <translation>Punkt &amp;suchen …</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;About Tessaly</source>
        <translation>Ü&amp;ber Tessaly</translation>
    </message>
    <message>
        <source>Points</source>
        <translation>Punkte</translation>
    </message>
    <message>
        <source>One row per point: point number, northing, easting, elevation and description. Type in a cell to change it; the last row adds a point.</source>
        <translation>Eine Zeile je Punkt: Punktnummer, Hochwert, Rechtswert, Höhe und Beschreibung. Zum Ändern in eine Zelle tippen; die letzte Zeile fügt einen Punkt hinzu.</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>partly read</source>
        <translation>teilweise gelesen</translation>
    </message>
    <message>
        <source>modified</source>
        <translation>geändert</translation>
    </message>
    <message>
        <source>Export Plan &amp;Image...</source>
        <translation>Plan als Bil&amp;d exportieren …</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>Find point</source>
        <translation>Punkt suchen</translation>
    </message>
    <message>
        <source>Point number:</source>
        <translation>Punktnummer:</translation>
    </message>
    <message>
        <source>Point %1 not found</source>
        <translation>Punkt %1 nicht gefunden</translation>
    </message>
    <message>
        <source>%1 in %2</source>
        <translation>%1 in %2</translation>
    </message>
    <message>
        <source>%1 point</source>
        <translation>%1 Punkt</translation>
    </message>
    <message>
        <source>%1 points</source>
        <translation>%1 Punkte</translation>
    </message>
    <message>
        <source>Nothing saved: %1 does not end in %2</source>
        <translation>Nichts gespeichert: %1 endet nicht auf %2</translation>
    </message>
    <message>
        <source>Recent &amp;Files</source>
        <translation>&amp;Zuletzt geöffnet</translation>
    </message>
    <message>
        <source>Not opened: %1 no longer exists; it is taken off Recent Files</source>
        <translation>Nicht geöffnet: %1 gibt es nicht mehr; die Datei wird aus der Liste der zuletzt geöffneten entfernt</translation>
    </message>
    <message>
        <source>&amp;Decimals</source>
        <translation>&amp;Nachkommastellen</translation>
    </message>
    <message>
        <source>&amp;As read</source>
        <translation>&amp;Wie gelesen</translation>
    </message>
    <message>
        <source>Coordinate &amp;System...</source>
        <translation>&amp;Koordinatensystem …</translation>
    </message>
</context>
<context>
    <name>tessaly::TextImportDialog</name>
    <message>
        <source>POINT</source>
        <translation>PUNKT</translation>
    </message>
    <message>
        <source>Point</source>
        <translation>Punkt</translation>
    </message>
    <message>
        <source>NORTHING</source>
        <translation>HOCHWERT</translation>
    </message>
    <message>
        <source>Northing</source>
        <translation>Hochwert</translation>
    </message>
    <message>
        <source>EASTING</source>
        <translation>RECHTSWERT</translation>
    </message>
    <message>
        <source>Easting</source>
        <translation>Rechtswert</translation>
    </message>
    <message>
        <source>ELEVATION</source>
        <translation>HÖHE</translation>
    </message>
    <message>
        <source>Elevation</source>
        <translation>Höhe</translation>
    </message>
    <message>
        <source>DESCRIPTION</source>
        <translation>BESCHREIBUNG</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>Beschreibung</translation>
    </message>
    <message>
        <source>Not read</source>
        <translation>Nicht einlesen</translation>
    </message>
    <message>
        <source>Comma</source>
        <translation>Komma</translation>
    </message>
    <message>
        <source>Tab</source>
        <translation>Tabulator</translation>
    </message>
    <message>
        <source>Semicolon</source>
        <translation>Semikolon</translation>
    </message>
    <message>
        <source>Blanks</source>
        <translation>Leerzeichen</translation>
    </message>
    <message>
        <source>Import Text Points</source>
        <translation>Textpunkte importieren</translation>
    </message>
    <message>
        <source>Says which column of the file holds the point number, northing, easting, elevation and description. The preview shows the first lines as they will be read.</source>
        <translation>Legt fest, welche Spalte der Datei Punktnummer, Hochwert, Rechtswert, Höhe und Beschreibung enthält. Die Vorschau zeigt die ersten Zeilen so, wie sie gelesen werden.</translation>
    </message>
    <message>
        <source>&amp;Column order:</source>
        <translation>&amp;Spaltenfolge:</translation>
    </message>
    <message>
        <source>Delimiter:</source>
        <translation>Trennzeichen:</translation>
    </message>
    <message>
        <source>&amp;First line holds column names</source>
        <translation>&amp;Erste Zeile enthält die Spaltennamen</translation>
    </message>
    <message>
        <source>Lines to &amp;skip at the start:</source>
        <translation>Am Anfang zu über&amp;springende Zeilen:</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <source>Choose one Northing and one Easting column.</source>
        <translation>Eine Spalte für Hochwert und eine für Rechtswert wählen.</translation>
    </message>
    <message>
        <source>Column %1 holds</source>
        <translation>Spalte %1 enthält</translation>
    </message>
    <message>
        <source>What column %1 of the file holds</source>
        <translation>Was Spalte %1 der Datei enthält</translation>
    </message>
</context>
<context>
    <name>tessaly::UnboundGrid</name>
    <message>
        <source>Too long to edit here: Del empties the cell</source>
        <translation>Zu lang, um hier bearbeitet zu werden: Entf leert die Zelle</translation>
    </message>
    <message>
        <source>Paste</source>
        <translation>Einfügen</translation>
    </message>
    <message>
        <source>%1 pasted row left out: the grid holds %2 rows at most</source>
        <translation>%1 eingefügte Zeile ausgelassen: die Tabelle fasst höchstens %2 Zeilen</translation>
    </message>
    <message>
        <source>%1 pasted rows left out: the grid holds %2 rows at most</source>
        <translation>%1 eingefügte Zeilen ausgelassen: die Tabelle fasst höchstens %2 Zeilen</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Delete rows</source>
        <translation>Zeilen löschen</translation>
    </message>
</context>
<context>
    <name>tessaly::UnboundGridModel</name>
    <message>
        <source> [only the first %1 characters shown]</source>
        <translation> [nur die ersten %1 Zeichen angezeigt]</translation>
    </message>
    <message>
        <source>Not a number: the %1 &quot;%2&quot; is text</source>
        <translation>Keine Zahl: %1 „%2“ ist Text</translation>
    </message>
    <message>
        <source>No row added: the grid holds %1 rows at most</source>
        <translation>Keine Zeile hinzugefügt: die Tabelle fasst höchstens %1 Zeilen</translation>
    </message>
</context>
</TS>
