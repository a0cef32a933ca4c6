' Drives VxFrame3D from a script host the way a VBScript client would: create by ProgID, set and
' read properties, and see a refused value come back as error 380 with its text.
Option Explicit
Dim frame
Set frame = CreateObject("VxFrame3D.VxFrame3DCtrl")
WScript.Echo "created: Caption=[" & frame.Caption & "] Bevel=" & frame.Bevel & " BevelLight=" & frame.BevelLight & _
  " ShadowDarkness=" & frame.ShadowDarkness & " BackColor=" & Hex(frame.BackColor)
frame.Caption = "Shipping"
frame.Bevel = -3
frame.ShadowWidth = 5
frame.LightSource = 2
frame.OutLine = 2
frame.BackColor = &HC0C0C0
WScript.Echo "after set: Caption=" & frame.Caption & " default=" & frame & " Bevel=" & frame.Bevel & _
  " ShadowWidth=" & frame.ShadowWidth & " LightSource=" & frame.LightSource & " OutLine=" & frame.OutLine & _
  " BackColor=" & Hex(frame.BackColor)
On Error Resume Next
frame.ShadowDarkness = 256
WScript.Echo "ShadowDarkness=256: Err " & Err.Number & " """ & Err.Description & """, still " & frame.ShadowDarkness
Err.Clear
frame.MouseIcon_Filename = "C:\no\such\file.ico"
WScript.Echo "MouseIcon_Filename missing file: Err " & Hex(Err.Number)
