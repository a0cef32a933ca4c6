' The controls as an installed setup left them: each created by its ProgID through the registry,
' a property set and read back. Prints one line per control; exit code 1 when one fails.
Option Explicit
Dim failures : failures = 0

Sub Report(label, ok, detail)
    If ok Then
        WScript.Echo label & " created: " & detail
    Else
        WScript.Echo "FAIL " & label & ": " & detail
        failures = failures + 1
    End If
End Sub

On Error Resume Next
Dim t : Set t = CreateObject("VxTime.VxTimeCtrl")
If Err.Number <> 0 Then
    Report "VxTime.VxTimeCtrl", False, "error " & Err.Number
Else
    t.Format = "hh:mm:ss"
    t.Number = 143000
    Report "VxTime.VxTimeCtrl", t.Text = "14:30:00", "Text=" & t.Text
End If
Err.Clear

Dim f : Set f = CreateObject("VxFrame3D.VxFrame3DCtrl")
If Err.Number <> 0 Then
    Report "VxFrame3D.VxFrame3DCtrl", False, "error " & Err.Number
Else
    f.Caption = "Shipping"
    Report "VxFrame3D.VxFrame3DCtrl", f.Caption = "Shipping", "Caption=" & f.Caption
End If
WScript.Quit failures
