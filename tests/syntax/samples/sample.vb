' Inventory module
' Contact: inventory@vornish.example.com
Option Explicit

Private Type Item
    Name As String
    Count As Long
End Type

Private Const MAX_ITEMS As Integer = 100
Private items(MAX_ITEMS) As Item
Private itemCount As Long

#If DEBUG_BUILD Then
Private Const LOG_LEVEL = 2
#Else
Private Const LOG_LEVEL = 0
#End If

Public Function AddItem(ByVal name As String, Optional ByVal count As Long = 1) As Boolean
    If itemCount >= MAX_ITEMS Then
        AddItem = False
        Exit Function
    End If
    items(itemCount).Name = name
    items(itemCount).Count = count
    itemCount = itemCount + 1
    AddItem = True
End Function

Public Sub Report()
    Dim i As Long, total As Double
    For i = 0 To itemCount - 1
        If items(i).Count = 0 Then Debug.Print "empty: " & items(i).Name
        total = total + items(i).Count * 1.5E+2
    Next i
    Select Case total
        Case Is > 1000
            MsgBox "Large stock: " & Format(total, "#,##0.00"), vbInformation
        Case Else
            MsgBox "Stock ""normal"""
    End Select
    Do While total > 0
        total = total - &HFF
        If total < 10 Then Exit Do
    Loop
    With items(0)
        .Count = .Count + 1
    End With
    Rem a remark line
    Dim since As Date: since = #1/15/2024#
End Sub

Public Property Get ItemTotal() As Long
    ItemTotal = itemCount
End Property
Private Sub Unfinished()
    MsgBox "this string is never closed
