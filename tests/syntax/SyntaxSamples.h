// Scheme texts shared by the syntax tests, benchmarks and fuzz targets.
#pragma once

#include "KivTypes.h"

// The demo's colour scheme "default": 45 tokens in this order.
inline const TKivString kDefaultColors =
    uR"xml(<?xml version="1.0"?>
<Attributes>
 <Token name="default" textColor="#0"/>
 <Token name="defaultEmbed" backgroundColor="#ECE9D8"/>
 <Token name="docStart" fontStyle="bold"/>
 <Token name="docEnd" fontStyle="bold"/>
 <Token name="docBlockStart" fontStyle="bold"/>
 <Token name="docBlockEnd" fontStyle="bold"/>
 <Token name="docInstruction" fontStyle="bold"/>
 <Token name="docDefault" backgroundColor="#ECE9D8"/>
 <Token name="comment" textColor="#008000"/>
 <Token name="commentStart" textColor="#008000"/>
 <Token name="commentEnd" textColor="#008000"/>
 <Token name="keyword" fontStyle="bold"/>
 <Token name="privateSymbol" textColor="Navy"/>
 <Token name="email" fontStyle="bold underline"/>
 <Token name="hairy" textColor="#000080" fontStyle="bold, italic, underline, strikeOut"/>
 <Token name="number"/>
 <Token name="symbol"/>
 <Token name="string" textColor="Blue"/>
 <Token name="blockStart" fontStyle="bold"/>
 <Token name="blockEnd" fontStyle="bold"/>
 <Token name="badString" textColor="Red"/>
 <Token name="preprocessor" textColor="#008080"/>
 <Token name="badPreprocessor" textColor="red"/>
 <Token name="escaped" textColor="Navy"/>
 <Token name="quotedVariable"/>
 <Token name="regexStart" textColor="Navy" fontStyle="bold"/>
 <Token name="regexEnd" textColor="Navy" fontStyle="bold"/>
 <Token name="tagOpen" textColor="Purple"/>
 <Token name="tagClose" textColor="Purple"/>
 <Token name="dtdTagStartEnd" textColor="Purple" fontStyle="bold"/>
 <Token name="url" textColor="Red"/>
 <Token name="fpi" textColor="Red" fontStyle="bold"/>
 <Token name="entity" textColor="#FF4500"/>
 <Token name="attributeName" textColor="#583485"/>
 <Token name="attributeValue" textColor="Blue"/>
 <Token name="badAttributeValue" textColor="Red"/>
 <Token name="cssRule" textColor="#583485" fontStyle="bold"/>
 <Token name="cssRelSymbol" fontStyle="bold"/>
 <Token name="cssUrlHref" fontStyle="underline"/>
 <Token name="cssUrlAttr"/>
 <Token name="cssAttrListBG" textColor="Blue"/>
 <Token name="cdataTagStart" textColor="Purple" fontStyle="bold"/>
 <Token name="cdataTagEnd" textColor="Purple" fontStyle="bold"/>
 <Token name="xmlDeclStart" textColor="Purple" fontStyle="bold"/>
 <Token name="xmlDeclEnd" textColor="Purple" fontStyle="bold"/>
</Attributes>)xml";

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
