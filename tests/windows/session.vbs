' A script's session with the component through late binding only, as a
' Windows script host runs it: every property by name, a file written and
' read back, and the failures as a script sees them.
'
'   cscript //nologo session.vbs FOLDER
'
' FOLDER holds reference.S19, the default file written on the other
' platform; the session writes its own files there. Each failed check is
' named on one line; the exit status is 1 when any failed.
Option Explicit
On Error Resume Next

Dim failures : failures = 0
Dim folder : folder = WScript.Arguments(0)
Dim fso : Set fso = CreateObject("Scripting.FileSystemObject")

Sub Fail(what)
  WScript.Echo "FAIL: " & what
  failures = failures + 1
End Sub

' Compares as text: the host cannot compare an unsigned long (FontColor)
' with a number, but converts it to text.
Sub Check(what, actual, expected)
  If Err.Number <> 0 Then
    Fail what & ": error " & Hex(Err.Number) & " " & Err.Description
    Err.Clear
  ElseIf CStr(actual) <> CStr(expected) Then
    Fail what & ": got [" & actual & "], expected [" & expected & "]"
  End If
End Sub

Sub CheckError(what, number, description, source)
  If Err.Number <> number Then
    Fail what & ": error " & Hex(Err.Number) & " [" & Err.Description & "], expected " & Hex(number)
  ElseIf Err.Description <> description Or Err.Source <> source Then
    Fail what & ": [" & Err.Description & "] from [" & Err.Source & "], expected [" & description & "] from [" & source & "]"
  End If
  Err.Clear
End Sub

Function ReadText(path)
  ReadText = fso.OpenTextFile(path, 1, False, 0).ReadAll()
  If Err.Number <> 0 Then
    Fail "reading " & path & ": " & Err.Description
    Err.Clear
    ReadText = ""
  End If
End Function

' Every readable property of o, read by name.
Function Snapshot(o)
  Dim s, i
  s = "Flags=" & o.Flags & " Version=" & o.Version & " Region=" & o.Region & " BrightnessDay=" & o.BrightnessDay
  s = s & " SplashTime=" & o.SplashTime & " SpeedUpdate=" & o.SpeedUpdate & " CompassUpdate=" & o.CompassUpdate
  s = s & " SpeedFilterThreshold=" & o.SpeedFilterThreshold & " IceWarning=" & o.IceWarning
  s = s & " ShortPressTime=" & o.ShortPressTime & " LongPressTime=" & o.LongPressTime & " SatTime=" & o.SatTime
  s = s & " FontColor=" & CStr(o.FontColor) & " Fuel005=" & o.Fuel005 & " RefuelWarning=" & o.RefuelWarning
  s = s & " CANBaudrate=" & o.CANBaudrate & " GPSBaudrate=" & o.GPSBaudrate & " TimeZoneOffset=" & o.TimeZoneOffset
  s = s & " NMEAFlags=" & o.NMEAFlags & " VIN=" & o.VIN & " FuelDiv=" & o.FuelDiv & " FuelMul=" & o.FuelMul
  s = s & " BrightnessNight=" & o.BrightnessNight & " Ill_min_volt=" & o.Ill_min_volt & " PPMKM=" & o.PPMKM
  s = s & " PPMDividend=" & o.PPMDividend & " Aircore=" & o.Aircore & " Debounce=" & o.Debounce
  s = s & " OdoDisplayTime=" & o.OdoDisplayTime & " AircoreTestSpeed=" & o.AircoreTestSpeed
  s = s & " AircoreTestRange=" & o.AircoreTestRange
  For i = 0 To 2
    s = s & " ColorBalance(" & i & ")=" & o.ColorBalance(i)
  Next
  For i = 0 To 4
    s = s & " Element(" & i & ")=" & o.ElementX(i) & "," & o.ElementY(i) & "," & o.ElementAlignment(i)
  Next
  If Err.Number <> 0 Then
    Fail "reading every property: error " & Hex(Err.Number) & " " & Err.Description
    Err.Clear
  End If
  Snapshot = s
End Function

Dim p : Set p = CreateObject("Quillon.Preferences")
If Err.Number <> 0 Then
  WScript.Echo "FAIL: CreateObject(""Quillon.Preferences""): " & Hex(Err.Number) & " " & Err.Description
  WScript.Quit 1
End If
Check "type name", TypeName(p), "IPreferences"

' A new object: a few defaults, and the types a script sees.
Check "Version", p.Version, 256
Check "TimeZoneOffset", p.TimeZoneOffset, -5
Check "AircoreTestRange", p.AircoreTestRange, 47104
Check "FontColor", p.FontColor, 16777215
Check "VIN", p.VIN, "1G F   G Y 000001"
Check "type of FuelDiv", TypeName(p.FuelDiv), "Integer"
Check "type of Flags", TypeName(p.Flags), "Long"
Check "type of VIN", TypeName(p.VIN), "String"

' The default file is the same on both platforms, byte for byte.
Dim fresh : Set fresh = CreateObject("Quillon.Preferences")
fresh.WriteS19 folder & "\default.S19"
Check "WriteS19 of a new object", Err.Number, 0
Dim written : written = ReadText(folder & "\default.S19")
Check "length of the default file", Len(written), 246
If written <> ReadText(folder & "\reference.S19") Then Fail "the default file differs from the other platform's"

' Every writable property by name; puts cut values to the field's width.
p.Flags = 65541 : Check "Flags = 65541", p.Flags, 5
p.Region = 256 : Check "Region = 256", p.Region, 0
p.Region = "7" : Check "Region = ""7""", p.Region, 7
p.BrightnessDay = 20 : Check "BrightnessDay = 20", p.BrightnessDay, 4
p.SplashTime = 300 : Check "SplashTime = 300", p.SplashTime, 44
p.SpeedUpdate = 70000 : Check "SpeedUpdate = 70000", p.SpeedUpdate, 4464
p.CompassUpdate = 513 : Check "CompassUpdate = 513", p.CompassUpdate, 1
p.SpeedFilterThreshold = 255 : Check "SpeedFilterThreshold = 255", p.SpeedFilterThreshold, 255
p.IceWarning = 200 : Check "IceWarning = 200", p.IceWarning, -56
p.ShortPressTime = 7 : Check "ShortPressTime = 7", p.ShortPressTime, 7
p.LongPressTime = 65535 : Check "LongPressTime = 65535", p.LongPressTime, 65535
p.SatTime = 65537 : Check "SatTime = 65537", p.SatTime, 1
p.FontColor = &HFF00& : Check "FontColor = &HFF00&", p.FontColor, 65280
p.Fuel005 = 2 : Check "Fuel005 = 2", p.Fuel005, 2
p.RefuelWarning = 3 : Check "RefuelWarning = 3", p.RefuelWarning, 3
p.CANBaudrate = 250 : Check "CANBaudrate = 250", p.CANBaudrate, 250
p.GPSBaudrate = 9600 : Check "GPSBaudrate = 9600", p.GPSBaudrate, 9600
p.TimeZoneOffset = -10 : Check "TimeZoneOffset = -10", p.TimeZoneOffset, -10
p.NMEAFlags = 259 : Check "NMEAFlags = 259", p.NMEAFlags, 3
p.ColorBalance(2) = -3 : Check "ColorBalance(2) = -3", p.ColorBalance(2), -3
p.VIN = "ABCDEFGHIJ" : Check "VIN = ""ABCDEFGHIJ""", p.VIN, "1G D   H J 000001"
p.FuelDiv = 300 : Check "FuelDiv = 300", p.FuelDiv, 44
p.FuelMul = 5 : Check "FuelMul = 5", p.FuelMul, 5
p.BrightnessNight = -1 : Check "BrightnessNight = -1", p.BrightnessNight, 15
p.Ill_min_volt = 61 : Check "Ill_min_volt = 61", p.Ill_min_volt, 61
Dim window : window = 3
p.ElementX(window) = 12 : Check "ElementX(3) = 12", p.ElementX(3), 12
p.ElementAlignment(window) = 7 : Check "ElementAlignment(3) = 7", p.ElementAlignment(window), 7
p.ElementY(4) = 200 : Check "ElementY(4) = 200", p.ElementY(4), 200
p.PPMKM = 4001 : Check "PPMKM = 4001", p.PPMKM, 4001
p.PPMDividend = -1 : Check "PPMDividend = -1", p.PPMDividend, -1
p.Aircore = -1 : Check "Aircore = -1", p.Aircore, -1
p.Debounce = 9 : Check "Debounce = 9", p.Debounce, 9
p.OdoDisplayTime = 8 : Check "OdoDisplayTime = 8", p.OdoDisplayTime, 8
p.AircoreTestSpeed = 33 : Check "AircoreTestSpeed = 33", p.AircoreTestSpeed, 33
p.AircoreTestRange = 65541 : Check "AircoreTestRange = 65541", p.AircoreTestRange, 5

' Written and read back by another object: the same settings, the same bytes.
Dim before : before = Snapshot(p)
p.WriteS19 folder & "\changed.S19"
Check "WriteS19 of the changed object", Err.Number, 0
Dim copy : Set copy = CreateObject("Quillon.Preferences")
copy.ReadS19 folder & "\changed.S19"
Check "ReadS19 of that file", Err.Number, 0
Check "settings read back", Snapshot(copy), before
copy.WriteS19 folder & "\copy.S19"
If ReadText(folder & "\copy.S19") <> ReadText(folder & "\changed.S19") Then Fail "the file written again differs"

' Failures, as the host reports them; the settings stay as they were.
p.WriteS19 folder & "\no-such-folder\a.S19"
CheckError "WriteS19 into a missing folder", &H80020009, "File not found!", "Quillon.Preferences.1"
Dim damaged : Set damaged = fso.CreateTextFile(folder & "\damaged.S19", True)
damaged.Write Left(written, 100) & "S9030000FC" & vbCrLf
damaged.Close
p.ReadS19 folder & "\damaged.S19"
CheckError "ReadS19 of a damaged file", &H80004005, "", ""
Check "settings after the damaged file", Snapshot(p), before
p.ReadS19 folder & "\missing.S19"
CheckError "ReadS19 of a missing file", &H80004005, "", ""
p.Region = "abc"
CheckError "Region = ""abc""", 13, "Type mismatch", "Microsoft VBScript runtime error"
p.FuelDiv = 70000
CheckError "FuelDiv = 70000", 6, "Overflow", "Microsoft VBScript runtime error"
Dim unused : unused = p.ColorBalance(3)
CheckError "ColorBalance(3)", 5, "Invalid procedure call or argument", "Microsoft VBScript runtime error"
p.ElementY(-1) = 1
CheckError "ElementY(-1) = 1", 5, "Invalid procedure call or argument", "Microsoft VBScript runtime error"
' A put of a read-only property: Windows reports 450 ("Wrong number of
' arguments or invalid property assignment"), Wine 438.
p.Version = 1
If Err.Number = 450 Or Err.Number = 438 Then
  Err.Clear
Else
  CheckError "Version = 1 (read-only)", 450, "Wrong number of arguments or invalid property assignment", _
    "Microsoft VBScript runtime error"
End If
unused = p.NoSuchProperty
CheckError "an unknown name", 438, "Object doesn't support this property or method", _
  "Microsoft VBScript runtime error"
Check "settings after the failures", Snapshot(p), before

If failures > 0 Then
  WScript.Echo failures & " check(s) failed"
  WScript.Quit 1
End If
WScript.Echo "session: all checks passed"
