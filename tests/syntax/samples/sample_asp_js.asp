<%@ Language="JScript" CodePage="65001" %>
<!DOCTYPE html>
<html>
<head>
  <title>Guest book</title>
  <style>
    .entry { margin: 4px 0; }
  </style>
</head>
<body>
<%
  // Reads the guest book entries; see http://www.vornish.example.com/guestbook
  var conn = Server.CreateObject("ADODB.Connection");
  var count = 0, limit = 25;
  /* Open the database
     read-only */
  conn.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + Server.MapPath("book.mdb"));
  var rs = conn.Execute("SELECT * FROM entries ORDER BY stamp DESC");
  function escape(text) {
    return String(text).replace(/&/g, "&amp;").replace(/</g, "&lt;");
  }
  while (!rs.EOF && count < limit) {
    count++;
%>
  <div class="entry">
    <b><%= escape(rs("name")) %></b> wrote:
    <p><%= escape(rs("text")) %></p>
  </div>
<%
    rs.MoveNext();
  }
  rs.Close(); // close before leaving %>
  <p>Shown: <%= count %> entries. Mail: book@vornish.example.com</p>
  <script type="text/javascript">
    document.title += " (" + <%= count %> + ")";
  </script>
  <table>
    <tr><td>Limit</td><td><%= limit %></td></tr>
  </table>
<%
  if (count == 0) {
    Response.Write("<p>No entries yet.</p>\n");
  }
%>
</body>
</html>
<%
  var unfinished = "server code that never ends
