' VxTime from an automation client: the time value and its formats as a script sees them.
' Register vxtime.ocx first, then run with cscript //nologo vxtime_automation.vbs.
' Prints what it reads and ends with exit code 1 when something is not as expected.
Option Explicit

Dim failures : failures = 0

Sub Check(label, actual, expected)
    If CStr(actual) = CStr(expected) Then
        WScript.Echo "ok    " & label & " = " & actual
    Else
        WScript.Echo "FAIL  " & label & " = " & actual & " (expected " & expected & ")"
        failures = failures + 1
    End If
End Sub

Dim t : Set t = CreateObject("VxTime.VxTimeCtrl")

t.Format = "hh:mm:ss"
t.Number = 143000
Check "Text", t.Text, "14:30:00"
Check "TypeName(Value)", TypeName(t.Value), "Double"
WScript.Echo "      Value = " & t.Value
Check "Value is 14.5 / 24", Abs(t.Value - 14.5 / 24) < 1E-12, True
Check "Hour", t.Hour, 14

On Error Resume Next
t.Format = "hhh:mm"
Check "bad Format error", Err.Number, 380
Check "bad Format text", Err.Description, "Invalid property value"
Err.Clear
On Error GoTo 0
Check "Format kept", t.Format, "hh:mm:ss"

t.MaxTime = 120000
Check "Number after MaxTime 120000", t.Number, 120000

' A time past MaxTime is no error for a running form: the control keeps its time (and raises
' InvalidRange to its container's handler).
t.Value = 1.75
Check "Number after Value 1.75 past MaxTime", t.Number, 120000
t.MaxTime = 235959
t.Value = 1.75
Check "Number after Value 1.75", t.Number, 180000
t.Value = -0.25
Check "Number after Value -0.25", t.Number, 60000

t.Number = 999999
Check "Text when cleared", t.Text, "__:__:__"
Check "TypeName(Value) when cleared", TypeName(t.Value), "Empty"

' The rest of the interface as a script sees it.
t.MaxTime = 235959
t.Format = "hh:mm AM/PM"
t.DisplayFormat = "H:MM a/p"
t.Number = 130500
Check "Text 12-hour", t.Text, "01:05 PM"
Check "DispText", t.DispText, "1:05 p"
Check "AMPM", t.AMPM, "PM"
Check "Hour as shown", t.Hour, 1
Check "Minute", t.Minute, 5
Check "Default is Number", t, 130500
t.SelStart = 99
Check "SelStart clamped", t.SelStart, Len(t.Text)
t.SelStart = 3
t.SelLength = 2
Check "SelText", t.SelText, "05"

On Error Resume Next
t.MarginLeft = 2
Check "MarginLeft at run time", Err.Number, 380
Check "MarginLeft text", Err.Description, "Property is read-only"
Err.Clear
t.Appearance = 0
Check "Appearance at run time", Err.Number, 383
Err.Clear
t.DataProperty = 2
Check "DataProperty 2", Err.Number, 380
Err.Clear
On Error GoTo 0

t.DataProperty = 1
t.BindField = 143000
Check "BindField by Number", t.Number, 143000
t.DataProperty = 0
t.BindField = 0.5
Check "BindField by Value", t.Number, 120000

Dim c : Set c = t.Caption
Check "Caption text", c.Text, "&Caption"
c.Text = "Due"
c.Size = 40
Check "Caption kept", t.Caption.Text, "Due"
Check "Caption size", t.Caption.Size, 40
On Error Resume Next
c.Alignment = 9
Check "Caption alignment 9", Err.Number, 380
Err.Clear
On Error GoTo 0
Check "Caption alignment kept", c.Alignment, 3

t.ClearControl
Check "Hour when cleared", t.Hour, -1
Check "AMPM when cleared", t.AMPM, ""
t.MaxTime = 170000
Check "MaxTime on a cleared control", t.MaxTime, 170000
Check "still cleared", t.Number, 999999

If failures > 0 Then WScript.Quit 1
WScript.Echo "all checks passed"
