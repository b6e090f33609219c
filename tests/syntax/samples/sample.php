<?php
declare(strict_types=1);

/*
 * Invoice rendering. Bugs to billing@vornish.example.com
 */
namespace Vornish\Billing;

interface Renderer
{
    public function render(array $lines): string;
}

final class HtmlRenderer implements Renderer
{
    private const CURRENCY = 'EUR';
    private int $count = 0;

    public function render(array $lines): string
    {
        $out = "<table>\n";
        foreach ($lines as $i => $line) {
            $this->count++;
            $price = number_format($line['price'] * 1.19, 2);
            $out .= "<tr><td>{$line['name']}</td><td>$price " . self::CURRENCY . "</td></tr>\n";
        }
        return $out . '</table>' . "\t\x41\u{1F600}";
    }
}

$renderer = new HtmlRenderer();
$lines = [['name' => 'Paper', 'price' => 4.5], ['name' => "Ink \"black\"", 'price' => 0x1F]];
# a shell-style comment
$footer = <<<EOT
Total lines: {$renderer->render($lines)}
Generated for $user
EOT;
if (count($lines) > 1 && $footer !== '') {
    echo $renderer->render($lines);
} elseif (empty($lines)) {
    echo 'nothing';
} else {
    throw new \RuntimeException('unexpected');
}
?>
<!DOCTYPE html>
<html>
<body>
  <h1>Invoice <?= htmlspecialchars($title ?? 'draft') ?></h1>
  <div class="lines">
    <?php echo $renderer->render($lines); // inline ?>
  </div>
  <p>Questions: <a href="mailto:billing@vornish.example.com">billing</a></p>
</body>
</html>
<?php
echo '<?xml version="1.0"?>';
$a = 1;
$x = <<<EOT
This is EOT in text
EOT;
?>
<?php
$unfinished = 'a string that never ends
