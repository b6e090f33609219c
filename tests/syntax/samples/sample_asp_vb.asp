<%@ Language="VBScript" %>
<% Option Explicit %>
<html>
<head>
  <title>Stock report</title>
</head>
<body>
<%
' Builds the stock table. Contact: stock@vornish.example.com
Dim conn, rs, total, i
Const LIMIT = 100
total = 0

Function Money(ByVal value)
  If IsNull(value) Then
    Money = "-"
  Else
    Money = FormatNumber(value, 2) & " EUR"
  End If
End Function

Sub WriteRow(name, qty, price)
  Response.Write "<tr><td>" & Server.HTMLEncode(name) & "</td>"
  Response.Write "<td>" & qty & "</td><td>" & Money(price) & "</td></tr>" & vbCrLf
End Sub

Set conn = Server.CreateObject("ADODB.Connection")
conn.Open "DSN=stock"
Set rs = conn.Execute("SELECT name, qty, price FROM items WHERE qty < " & LIMIT)
%>
<table border="1">
<%
Do While Not rs.EOF
  WriteRow rs("name"), rs("qty"), rs("price")
  total = total + rs("qty") * rs("price")
  If total > 1E6 Then Exit Do
  rs.MoveNext
Loop
rs.Close : conn.Close
%>
</table>
<p>Total value: <%= Money(total) %>, hex &H1F = <%= &H1F %></p>
<p>Quote test: <%= "He said ""hi""" %></p>
<% For i = 1 To 3 %>
  <span class="dot"><%= i %></span>
<% Next %>
</body>
</html>
<%
Response.Write "never closed
