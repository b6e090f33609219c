unit Stacks;
{ A generic stack of integers.
  Contact: pascal@vornish.example.com }

{$MODE DELPHI}{$H+}

interface

uses
  SysUtils, Classes;

type
  EStackError = class(Exception);

  TIntStack = class(TObject)
  private
    FItems: array of Integer;
    FCount: Integer;
  public
    constructor Create;
    procedure Push(AValue: Integer);
    function Pop: Integer;
    class function Describe: string;
    property Count: Integer read FCount;
  end;

  TPoint = record
    X, Y: Double;
  end;

implementation

const
  Growth = $10;
  Mask = %1010;
  Greeting = 'It''s a stack'#13#10;

constructor TIntStack.Create;
begin
  inherited Create;
  SetLength(FItems, Growth);
end;

procedure TIntStack.Push(AValue: Integer);
begin
  if FCount = Length(FItems) then
    SetLength(FItems, FCount + Growth);
  FItems[FCount] := AValue; // store
  Inc(FCount);
end;

function TIntStack.Pop: Integer;
begin
  if FCount = 0 then
    raise EStackError.Create('Stack is empty');
  Dec(FCount);
  Result := FItems[FCount];
  (* Old code:
     Result := -1; *)
  case Result mod 3 of
    0: Result := Result * 2;
    1, 2: Result := Round(Result * 1.5E0);
  end;
end;

class function TIntStack.Describe: string;
var
  I: Integer;
begin
  Result := Greeting;
  try
    for I := 1 to 3 do
      Result := Result + IntToStr(I);
  finally
    Result := Trim(Result);
  end;
  repeat
    Dec(I);
  until I <= 0;
end;

end.
{ a comment that is never closed
