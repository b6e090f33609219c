// Scheme texts shared by the syntax tests, benchmarks and fuzz targets. The colour scheme is the
// shipped one, KivDemoColorScheme() (KivDemoData.h).
#pragma once

#include "KivTypes.h"

// A C scheme in the shape of the demo's: Main inherits BaseSyntax (which inherits Numbers) and
// StringFind; comments, preprocessor lines, keywords and control-statement folds.
inline const TKivString kCScheme =
    uR"xml(<?xml version="1.0"?>
<SchemeList root="Main">
 <Scheme name="Numbers">
  <Regex regex="\d+(\.\d+)?([eE][-+]?\d+)?[uUlLfF]*" token0="number"/>
  <Regex regex="0[xX][0-9a-fA-F]+[uUlL]*" token0="number" priority="1"/>
 </Scheme>
 <Scheme name="BaseSyntax" inherit="Numbers">
  <Regex regex="[{}()\[\];,.:?~!%^&amp;*+=|&lt;&gt;/-]" token0="symbol"/>
 </Scheme>
 <Scheme name="StringFind">
  <RegexBlock start="&quot;" end="&quot;|$" innerScheme="String" start_token0="string" end_token0="string"/>
  <Regex regex="'(\\.|[^'\\])*'" token0="string"/>
 </Scheme>
 <Scheme name="String" defaultToken="string">
  <Regex regex="\\." token0="escaped"/>
 </Scheme>
 <Scheme name="Comment" defaultToken="comment"/>
 <Scheme name="Preprocessor" defaultToken="preprocessor">
  <Regex regex="&lt;[^&gt;]*&gt;" token0="string"/>
  <Inherit>StringFind</Inherit>
 </Scheme>
 <Scheme name="Main" inherit="BaseSyntax" inherit1="StringFind">
  <Regex regex="//.*" token0="comment"/>
  <Regex regex="\s*(\#\s*\w+.*)" lineBound="true" innerScheme="Preprocessor" innerContentGroup="1" priority="10"/>
  <RegexBlock start="\s*\#.*\\$" lineBound="1" end="$" innerScheme="Preprocessor" priority="100"/>
  <RegexBlock start="/\*" end="\*/" innerScheme="Comment" start_token0="comment" end_token0="comment"/>
  <KeywordRegex>\b[a-zA-Z_][\w_]*\b</KeywordRegex>
  <Keywords>
   auto break case char const continue default do double else enum extern float for goto if
   int long register return short signed sizeof static struct switch typedef union unsigned
   void volatile while __try __finally
  </Keywords>
  <SkipSyntaxToken token="comment"/>
  <SyntaxBlock capture="true">
   <Start>[ kw:while kw:do kw:if kw:else kw:__try kw:__finally kw:switch ] [^ sym:; sym:} ]*? sym:\{</Start>
   <End>sym:}</End>
  </SyntaxBlock>
  <SyntaxBlock capture="true">
   <Start>id sym:\( [^ sym:; sym:{ sym:} ]* sym:\) sym:\{</Start>
   <End>sym:}</End>
  </SyntaxBlock>
  <SyntaxBlock>
   <Start>sym:\{</Start>
   <End>sym:}</End>
  </SyntaxBlock>
 </Scheme>
</SchemeList>)xml";
